#include "SplitRun.h"

#include "StreamWriter.h"
#include "TerminalProgress.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvane {

namespace {

// Names per batch: enough that taking turns costs nothing beside the splitting, few enough that the rows of
// a batch (about half a kilobyte per name) stay in the cache until they are written.
constexpr qsizetype batchNames = 1024;
// The rows a job keeps while the batches before it are not yet written; past this it waits for its turn.
constexpr qsizetype heldBytes = 8 * 1024 * 1024;

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
// write out what is there (it waits for the turn); a single row longer than that still gets its room.
class BatchRows final : public RowOutput
{
public:
    explicit BatchRows(std::function<void()> writeEarly) : m_writeEarly(std::move(writeEarly)) {}

    const char* data() const { return m_begin; }
    qsizetype size() const { return m_end - m_begin; }
    void clear() { m_end = m_begin; }

protected:
    void makeRoom(qsizetype bytes) override
    {
        if (size() + bytes > heldBytes && size() > 0)
            m_writeEarly();
        if (m_limit - m_end >= bytes)
            return;
        const qsizetype used = size();
        const qsizetype capacity = std::max<qsizetype>({2 * (m_limit - m_begin), used + bytes, 64 * 1024});
        auto grown = std::make_unique<char[]>(static_cast<std::size_t>(capacity));
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

} // namespace

SplitRun::SplitRun(EntryProcessor& processor, const Settings& settings, StreamWriter& output,
                   TerminalProgress& progress, MessagePrinter print)
    : m_processor(processor), m_settings(settings), m_output(output), m_progress(progress), m_print(std::move(print))
{}

bool SplitRun::run(const QStringList& files)
{
    NameSource source(files);
    std::mutex reading; // the source and the batch numbers
    qint64 nextBatch = 0;
    std::atomic<bool> stop{false}; // the output failed: no more batches are taken
    std::mutex turns;
    std::condition_variable turnPassed;
    qint64 turn = 0; // the batch whose rows are written next
    bool failed = false;

    const auto job = [&](EntryProcessor& processor) {
        // The batch's names one after the other in one string: they stay together in the cache.
        QString names;
        std::vector<qsizetype> nameEnds(static_cast<std::size_t>(batchNames));
        QString problem;
        QStringList messages;
        qint64 batch = 0;
        bool haveTurn = false;
        const auto waitForTurn = [&] {
            if (haveTurn)
                return;
            std::unique_lock<std::mutex> lock(turns);
            turnPassed.wait(lock, [&] { return turn == batch; });
            haveTurn = true;
        };
        BatchRows rows([&] {
            waitForTurn();
            m_output.write(rows.data(), rows.size());
            rows.clear();
        });
        for (;;) {
            qsizetype count = 0;
            {
                std::lock_guard<std::mutex> lock(reading);
                if (stop.load())
                    return;
                batch = nextBatch++;
                // A batch that held a very long name gives its room back.
                if (names.capacity() > 64 * 1024 * 1024)
                    names = QString();
                source.read(names, nameEnds, count, problem);
            }
            haveTurn = false;
            messages.clear();
            qint64 rowCount = 0;
            bool batchFailed = false;
            for (qsizetype k = 0; k < count; ++k) {
                const qsizetype start = k == 0 ? 0 : nameEnds[static_cast<std::size_t>(k - 1)];
                const QStringView name = QStringView(names).mid(start, nameEnds[static_cast<std::size_t>(k)] - start);
                const EntryProcessor::Outcome outcome =
                    processor.writeRows(name, m_settings.showOriginal, m_settings.maxSplits, rows);
                rowCount += outcome.rows;
                for (const QString& description : outcome.failures) {
                    messages.append(QStringLiteral("%1: %2").arg(quotedName(name), description));
                    batchFailed = true;
                }
                if (outcome.cut)
                    messages.append(
                        QStringLiteral("%1: cut after %2 splits; it has more").arg(quotedName(name)).arg(outcome.rows));
            }
            waitForTurn();
            m_output.write(rows.data(), rows.size());
            rows.clear();
            for (const QString& message : std::as_const(messages))
                m_print(message);
            if (!problem.isEmpty()) {
                m_print(problem);
                batchFailed = true;
            }
            m_names += count;
            m_rows += rowCount;
            failed = failed || batchFailed;
            m_progress.update(m_names, m_rows);
            const bool last = count == 0 && problem.isEmpty(); // every file has been read
            if (m_output.failed() || last)
                stop = true;
            {
                std::lock_guard<std::mutex> lock(turns);
                ++turn;
            }
            turnPassed.notify_all();
            if (last)
                return;
        }
    };

    // The other jobs' processors copy the first one's search index instead of building their own.
    m_processor.prepareIndex();
    std::vector<std::unique_ptr<EntryProcessor>> processors;
    std::vector<std::thread> threads;
    for (int k = 1; k < m_settings.jobs; ++k) {
        processors.push_back(std::make_unique<EntryProcessor>(m_processor));
        threads.emplace_back(job, std::ref(*processors.back()));
    }
    job(m_processor);
    for (std::thread& thread : threads)
        thread.join();
    return !failed && !m_output.failed();
}

} // namespace quorvane
