#pragma once

#include "engine/EntryProcessor.h"
#include "input/DomainFileReader.h"
#include "run/RowFormat.h"
#include "run/SplittingRun.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quorvane {

class StreamWriter;
class TerminalProgress;

// quorvane-split's run over its input files, rows written in input order.
class SplitRun final
{
public:
    // Prints one message on standard error (the progress line taken away first); called only by the job
    // whose turn it is, so never by two threads at once.
    using MessagePrinter = std::function<void(const QString& text)>;

    // `processor` is the first job's and the prototype of the others' (its search index is shared, not built
    // again); all must outlive the run.
    SplitRun(EntryProcessor& processor, const SplittingRun::Settings& settings, StreamWriter& output,
             TerminalProgress& progress, MessagePrinter print, NameEncoding encoding = NameEncoding::Utf8UnlessMarked);

    // Splits the names of `files` ("-" for standard input) in order. Returns false when anything failed: a
    // file that could not be read, a name whose steps failed, or the output. A file's own problem is
    // reported in its place and the other files are still split; a failed output ends the run.
    bool run(const QStringList& files);

    qint64 names() const { return m_names; }
    qint64 rows() const { return m_rows; }
    qint64 namesCut() const { return m_cut; }
    qint64 failures() const { return m_failures; } // names that failed, and lines and files that could not be read

private:
    EntryProcessor& m_processor;
    SplittingRun::Settings m_settings;
    NameEncoding m_encoding;
    StreamWriter& m_output;
    TerminalProgress& m_progress;
    MessagePrinter m_print;
    qint64 m_names = 0;
    qint64 m_rows = 0;
    qint64 m_cut = 0;
    qint64 m_failures = 0;
};

} // namespace quorvane
