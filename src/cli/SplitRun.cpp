#include "SplitRun.h"

#include "JobThreads.h"
#include "OrderedBatches.h"
#include "StreamWriter.h"
#include "TerminalProgress.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

// Names per batch: enough that taking turns costs nothing beside the splitting, few enough that the rows of
// a batch (about half a kilobyte per name) stay in the cache until they are written.
constexpr qsizetype batchNames = 1024;
// The rows a job keeps while the batches before it are not yet written; past this it waits for its turn. With
// the batches that may wait (maxWaitingPerJob per job), this bounds the memory a run takes for rows.
constexpr qsizetype heldBytes = 4 * 1024 * 1024;
constexpr std::size_t maxWaitingPerJob = 2;

// A name as messages quote it: a very long one is cut short.
QString quotedName(QStringView name)
{
    constexpr qsizetype longest = 100;
    if (name.size() <= longest)
        return QLatin1Char('"') + name.toString() + QLatin1Char('"');
    return QStringLiteral("\"%1...\" (%2 characters)").arg(name.left(longest)).arg(name.size());
}

// The names of the files, one file after another.
class NameSource final
{
public:
    explicit NameSource(const QStringList& files) : m_files(files) {}

    // Reads up to ends.size() names, one after the other, into `text` (emptied first), setting `count` and
    // where each name ends in the text. A file that cannot be opened or read ends the batch with its
    // description in `problem`; the names read before stay, and the next batch goes on with the next file.
    void read(QString& text, std::vector<qsizetype>& ends, qsizetype& count, QString& problem)
    {
        count = 0;
        problem.clear();
        text.resize(0);
        while (count < static_cast<qsizetype>(ends.size())) {
            try {
                if (!m_reader && !openNext())
                    return;
                if (m_reader->appendName(text))
                    ends[static_cast<std::size_t>(count++)] = text.size();
                else
                    m_reader.reset();
            } catch (const Failure& failure) {
                m_reader.reset();
                problem = failure.description();
                return;
            }
        }
    }

private:
    // False when every file has been read.
    bool openNext()
    {
        if (m_next == m_files.size())
            return false;
        const QString& file = m_files[m_next++];
        if (file == QStringLiteral("-")) {
            if (!m_standardInput.isOpen() && !m_standardInput.open(STDIN_FILENO, QIODevice::ReadOnly))
                throw Failure(QStringLiteral("Cannot read standard input: %1").arg(m_standardInput.errorString()));
            m_reader = std::make_unique<DomainFileReader>(m_standardInput, QStringLiteral("standard input"));
        } else {
            m_reader = std::make_unique<DomainFileReader>(file);
        }
        return true;
    }

    QStringList m_files;
    qsizetype m_next = 0;
    QFile m_standardInput;
    std::unique_ptr<DomainFileReader> m_reader;
};

// The rows of one batch, kept until the batch's turn to be written. Past heldBytes, `writeEarly` is asked to
// write out what is there (it waits for the turn); a single row longer than that still gets its room. Its
// room is kept from batch to batch.
class BatchRows final : public RowOutput
{
public:
    // Called by the job that fills the rows, before it does.
    void setWriteEarly(std::function<void()> writeEarly) { m_writeEarly = std::move(writeEarly); }

    const char* data() const { return m_begin; }
    qsizetype size() const { return m_end - m_begin; }
    void clear() { m_end = m_begin; }

protected:
    void makeRoom(qsizetype bytes) override
    {
        if (size() + bytes > heldBytes && size() > 0 && m_writeEarly)
            m_writeEarly();
        if (m_limit - m_end >= bytes)
            return;
        const qsizetype used = size();
        const qsizetype capacity = std::max<qsizetype>({2 * (m_limit - m_begin), used + bytes, 64 * 1024});
        auto grown = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(capacity));
        if (used > 0)
            std::memcpy(grown.get(), m_begin, static_cast<std::size_t>(used));
        m_buffer = std::move(grown);
        m_begin = m_buffer.get();
        m_end = m_begin + used;
        m_limit = m_begin + capacity;
    }

private:
    std::function<void()> m_writeEarly;
    std::unique_ptr<char[]> m_buffer;
};

// A batch that has been split: its rows and messages, waiting for their turn to be written.
struct SplitBatch
{
    qint64 number = 0;
    std::unique_ptr<BatchRows> rows;
    QStringList messages;
    QString problem; // the failure of a file, reported after the batch's rows
    qint64 names = 0;
    qint64 rowCount = 0;
    bool failed = false;
};

} // namespace

SplitRun::SplitRun(EntryProcessor& processor, const Settings& settings, StreamWriter& output,
                   TerminalProgress& progress, MessagePrinter print)
    : m_processor(processor), m_settings(settings), m_output(output), m_progress(progress), m_print(std::move(print))
{}

bool SplitRun::run(const QStringList& files)
{
    NameSource source(files);
    bool failed = false;
    std::mutex spares; // rows handed on, kept for the next batches
    std::vector<std::unique_ptr<BatchRows>> spareRows;

    // Writes a batch's rows and messages, in the batches' order; a failed output ends the run.
    OrderedBatches<SplitBatch> batches(maxWaitingPerJob * static_cast<std::size_t>(m_settings.jobs),
                                       [&](SplitBatch& batch) {
                                           m_output.write(batch.rows->data(), batch.rows->size());
                                           batch.rows->clear();
                                           for (const QString& message : std::as_const(batch.messages))
                                               m_print(message);
                                           if (!batch.problem.isEmpty())
                                               m_print(batch.problem);
                                           m_names += batch.names;
                                           m_rows += batch.rowCount;
                                           failed = failed || batch.failed || !batch.problem.isEmpty();
                                           m_progress.update(m_names, m_rows);
                                           {
                                               const std::lock_guard<std::mutex> lock(spares);
                                               spareRows.push_back(std::move(batch.rows));
                                           }
                                           return !m_output.failed();
                                       });

    const SplitOptions split{m_settings.showOriginal, m_settings.maxSplits, m_settings.order, m_settings.best};
    const auto job = [&](EntryProcessor& processor) {
        // The batch's names one after the other in one string: they stay together in the cache.
        QString names;
        std::vector<qsizetype> nameEnds(static_cast<std::size_t>(batchNames));
        SplitBatch batch;
        for (;;) {
            qsizetype count = 0;
            const std::optional<qint64> number = batches.take([&](qint64) {
                // A batch that held a very long name gives its room back.
                if (names.capacity() > 64 * 1024 * 1024)
                    names = QString();
                source.read(names, nameEnds, count, batch.problem);
                // After every file has been read, this empty batch still takes its turn.
                return count > 0 || !batch.problem.isEmpty();
            });
            if (!number)
                return;
            batch.number = *number;
            {
                const std::lock_guard<std::mutex> lock(spares);
                if (spareRows.empty()) {
                    batch.rows = std::make_unique<BatchRows>();
                } else {
                    batch.rows = std::move(spareRows.back());
                    spareRows.pop_back();
                }
            }
            // Rows past what a job keeps are written at once, which waits for the batch's turn and makes this
            // job the writer until the batch is finished.
            bool writer = false;
            batch.rows->setWriteEarly([&] {
                if (!writer) {
                    batches.waitForTurn(batch.number);
                    writer = true;
                }
                m_output.write(batch.rows->data(), batch.rows->size());
                batch.rows->clear();
            });
            batch.messages.clear();
            batch.names = count;
            batch.rowCount = 0;
            batch.failed = false;
            for (qsizetype k = 0; k < count; ++k) {
                const qsizetype start = k == 0 ? 0 : nameEnds[static_cast<std::size_t>(k - 1)];
                const QStringView name = QStringView(names).mid(start, nameEnds[static_cast<std::size_t>(k)] - start);
                const EntryProcessor::Outcome outcome = m_settings.format.write(processor, name, split, *batch.rows);
                batch.rowCount += outcome.rows;
                for (const QString& description : outcome.failures) {
                    batch.messages.append(QStringLiteral("%1: %2").arg(quotedName(name), description));
                    batch.failed = true;
                }
                if (outcome.cut)
                    batch.messages.append(
                        QStringLiteral("%1: cut after %2 splits; it has more").arg(quotedName(name)).arg(outcome.rows));
            }
            batch.rows->setWriteEarly(nullptr);
            batches.finish(batch.number, std::move(batch));
            batch = SplitBatch();
        }
    };

    // The other jobs' processors share the first one's search index (and scores) instead of building their own.
    m_processor.prepareIndex();
    if (m_settings.order == SplitOrder::Ranked || m_settings.format.needsScores())
        m_processor.prepareScores();
    std::vector<std::unique_ptr<EntryProcessor>> processors;
    runJobs(m_settings.jobs, [&](int k) -> std::function<void()> {
        if (k == 0)
            return [&] { job(m_processor); };
        processors.push_back(std::make_unique<EntryProcessor>(m_processor));
        EntryProcessor* own = processors.back().get();
        return [&job, own] { job(*own); };
    });
    return !failed && !m_output.failed();
}

} // namespace quorvane
