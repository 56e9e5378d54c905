#pragma once

#include "engine/EntryProcessor.h"
#include "run/RowFormat.h"
#include "run/SplittingRun.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quorvane {

class StreamWriter;
class TerminalProgress;

// The batch splitter's run over its input files: names are read in batches, each batch is split by one of
// several jobs (threads, each with its own EntryProcessor), and the batches' rows and messages are written in
// the order of the input, so that the output is the same whatever the number of jobs. A job that finishes the
// batch whose turn it is writes it, and the later batches finished meanwhile; a job that finishes a later
// batch leaves it waiting and takes the next. The rows of a batch are kept until its turn comes, up to a
// limit past which the job waits for its turn and writes what it has.
class SplitRun final
{
public:
    // Prints one message on standard error (the progress line taken away first); called only by the job
    // whose turn it is, so never by two threads at once.
    using MessagePrinter = std::function<void(const QString& text)>;

    // `processor` is the first job's and the prototype of the others' (its search index is shared, not built
    // again); all must outlive the run.
    SplitRun(EntryProcessor& processor, const SplittingRun::Settings& settings, StreamWriter& output,
             TerminalProgress& progress, MessagePrinter print);

    // Splits the names of `files` ("-" for standard input) in order. Returns false when anything failed: a
    // file that could not be read, a name whose steps failed, or the output. A file's own problem is
    // reported in its place and the other files are still split; a failed output ends the run.
    bool run(const QStringList& files);

    qint64 names() const { return m_names; }
    qint64 rows() const { return m_rows; }

private:
    EntryProcessor& m_processor;
    SplittingRun::Settings m_settings;
    StreamWriter& m_output;
    TerminalProgress& m_progress;
    MessagePrinter m_print;
    qint64 m_names = 0;
    qint64 m_rows = 0;
};

} // namespace quorvane
