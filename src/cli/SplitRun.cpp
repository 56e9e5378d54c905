#include "SplitRun.h"

#include "StreamWriter.h"
#include "TerminalProgress.h"
#include "run/SplittingRun.h"

#include <memory>

namespace quorvane {

namespace {

// A name as messages quote it: a very long one is cut short.
QString quotedName(QStringView name)
{
    constexpr qsizetype longest = 100;
    if (name.size() <= longest)
        return QLatin1Char('"') + name.toString() + QLatin1Char('"');
    return QStringLiteral("\"%1...\" (%2 characters)").arg(name.left(longest)).arg(name.size());
}

} // namespace

SplitRun::SplitRun(EntryProcessor& processor, const SplittingRun::Settings& settings, StreamWriter& output,
                   TerminalProgress& progress, MessagePrinter print, NameEncoding encoding)
    : m_processor(processor), m_settings(settings), m_encoding(encoding), m_output(output), m_progress(progress),
      m_print(std::move(print))
{}

namespace {

// Writes the batches' rows and messages in the order of the names; a failed output ends the run.
class StreamSink final : public BatchSink
{
public:
    StreamSink(StreamWriter& output, TerminalProgress& progress, const SplitRun::MessagePrinter& print,
               const FileNameSource& source)
        : m_output(output), m_progress(progress), m_print(print), m_source(source)
    {}

    bool take(std::unique_ptr<SplitBatch>& taken) override
    {
        const SplitBatch& batch = *taken;
        m_output.write(batch.rows->data(), batch.rows->size());
        for (qsizetype k = 0; k < batch.count(); ++k) {
            const NameOutcome& outcome = batch.outcomes[static_cast<std::size_t>(k)];
            for (const QString& description : outcome.failures) {
                m_print(QStringLiteral("%1: %2").arg(quotedName(batch.name(k)), description));
                failed = true;
            }
            failures += outcome.failures.isEmpty() ? 0 : 1;
            cut += outcome.cut ? 1 : 0;
            if (outcome.cut)
                m_print(QStringLiteral("%1: cut after %2 splits; it has more")
                            .arg(quotedName(batch.name(k)))
                            .arg(outcome.rows));
            rows += outcome.rows;
        }
        if (!batch.problem.isEmpty()) {
            for (const QString& problem : batch.problem.split(QLatin1Char('\n'))) {
                m_print(problem);
                ++failures;
            }
            failed = true;
        }
        names += batch.count();
        m_progress.update(names, rows, m_source.bytesRead());
        return !m_output.failed();
    }

    bool takesEarly() const override { return true; }
    void takeEarly(const char* bytes, qsizetype size) override { m_output.write(bytes, size); }

    qint64 names = 0;
    qint64 rows = 0;
    qint64 cut = 0;
    qint64 failures = 0;
    bool failed = false;

private:
    StreamWriter& m_output;
    TerminalProgress& m_progress;
    const SplitRun::MessagePrinter& m_print;
    const FileNameSource& m_source;
};

} // namespace

bool SplitRun::run(const QStringList& files)
{
    FileNameSource source(files, m_encoding);
    StreamSink sink(m_output, m_progress, m_print, source);
    SplittingRun(m_processor, m_settings).run(source, sink);
    m_names = sink.names;
    m_rows = sink.rows;
    m_cut = sink.cut;
    m_failures = sink.failures;
    return !sink.failed && !m_output.failed();
}

} // namespace quorvane
