#include "SplittingRun.h"

#include "JobThreads.h"
#include "OrderedBatches.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"

#include <QFile>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace quorvane {

namespace {

// The rows a job keeps while the batches before it are not yet handed on; past this, a sink that takes rows
// early gets them in the batch's turn. With the batches that may wait (maxWaitingPerJob per job), this bounds
// the memory a run takes for rows.
constexpr qsizetype heldBytes = 4 * 1024 * 1024;
constexpr std::size_t maxWaitingPerJob = 2;

} // namespace

void BatchRows::makeRoom(qsizetype bytes)
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

SplittingRun::SplittingRun(EntryProcessor& processor, const Settings& settings)
    : m_processor(processor), m_settings(settings)
{}

void SplittingRun::run(NameSource& source, BatchSink& sink)
{
    using BatchPointer = std::unique_ptr<SplitBatch>;
    std::mutex spareLock; // batches handed on, kept for the next ones
    std::vector<BatchPointer> spares;
    qint64 namesTaken = 0;
    // The first batches are small, so that the first rows come after one name however long its splitting takes.
    qsizetype nextBatchNames = 1;

    OrderedBatches<BatchPointer> batches(maxWaitingPerJob * static_cast<std::size_t>(m_settings.jobs),
                                         [&](BatchPointer& batch) {
                                             const bool goOn = sink.take(batch) && !m_stopping.load();
                                             if (batch) {
                                                 const std::lock_guard<std::mutex> lock(spareLock);
                                                 spares.push_back(std::move(batch));
                                             }
                                             return goOn;
                                         });

    const bool early = sink.takesEarly();
    const bool keepsResults = sink.takesResults();
    const auto job = [&](EntryProcessor& processor) {
        if (m_settings.givesWay)
            lowerThisThreadsPriority();
        RowFormatter formatter(m_settings.format, m_settings.split);
        for (;;) {
            BatchPointer batch;
            {
                const std::lock_guard<std::mutex> lock(spareLock);
                if (!spares.empty()) {
                    batch = std::move(spares.back());
                    spares.pop_back();
                }
            }
            if (!batch)
                batch = std::make_unique<SplitBatch>();
            const std::optional<qint64> number = batches.take([&](qint64) {
                // A batch that held a very long name gives its room back.
                if (batch->names.capacity() > 64 * 1024 * 1024)
                    batch->names = QString();
                batch->names.resize(0);
                batch->nameEnds.clear();
                batch->problem.clear();
                batch->firstName = namesTaken;
                // Once stopped, the batch taken last is empty.
                if (m_stopping.load())
                    return false;
                source.read(*batch, std::min(nextBatchNames, m_settings.batchNames));
                nextBatchNames *= 2;
                namesTaken += static_cast<qint64>(batch->nameEnds.size());
                // After every name has been read, this empty batch still takes its turn.
                return !batch->nameEnds.empty() || !batch->problem.isEmpty();
            });
            if (!number)
                return;
            batch->number = *number;
            SplitBatch& filling = *batch;
            BatchRows& rows = *filling.rows;
            rows.clear();
            filling.results.clear();
            filling.results.wantsKinds = m_settings.kinds && m_settings.split.guesses.beyondList;
            formatter.setOutput(rows);
            SplitReceiver& receiver = keepsResults ? static_cast<SplitReceiver&>(filling.results) : formatter;
            // Rows past what a job keeps are handed on at once, which waits for the batch's turn and makes this
            // job the writer until the batch is finished.
            bool writer = false;
            if (early)
                rows.setWriteEarly([&] {
                    if (!writer) {
                        batches.waitForTurn(filling.number);
                        writer = true;
                    }
                    sink.takeEarly(rows.data(), rows.size());
                    rows.clear();
                });
            const qsizetype count = static_cast<qsizetype>(filling.nameEnds.size());
            filling.outcomes.resize(static_cast<std::size_t>(count));
            for (qsizetype k = 0; k < count; ++k) {
                // Once stopped, the names left in the batch are not split: a stop waits for one name, not a batch.
                if (m_stopping.load(std::memory_order_relaxed)) {
                    filling.outcomes.resize(static_cast<std::size_t>(k));
                    break;
                }
                NameOutcome& named = filling.outcomes[static_cast<std::size_t>(k)];
                static_cast<SplitOutcome&>(named) = processor.split(filling.name(k), m_settings.split, receiver);
                named.rowsEnd = rows.size();
            }
            rows.setWriteEarly(nullptr);
            batches.finish(filling.number, std::move(batch));
        }
    };

    // The other jobs' processors share the first one's search index (and scores) instead of building their own.
    m_processor.prepareIndex();
    if (m_settings.split.order == SplitOrder::Ranked || m_settings.format.needsScores())
        m_processor.prepareScores();
    std::vector<std::unique_ptr<EntryProcessor>> processors;
    runJobs(m_settings.jobs, [&](int k) -> std::function<void()> {
        if (k == 0)
            return [&] { job(m_processor); };
        processors.push_back(std::make_unique<EntryProcessor>(m_processor));
        EntryProcessor* own = processors.back().get();
        return [&job, own] { job(*own); };
    });
}

struct FileNameSource::Private
{
    QStringList files;
    NameEncoding encoding;
    qsizetype next = 0;
    qint64 finishedBytes = 0; // of the files read to their end
    QFile standardInput;
    std::unique_ptr<DomainFileReader> reader;

    // False when every file has been read.
    bool openNext()
    {
        if (next == files.size())
            return false;
        const QString& file = files[next++];
        if (file == QStringLiteral("-")) {
            if (!standardInput.isOpen() && !standardInput.open(STDIN_FILENO, QIODevice::ReadOnly))
                throw Failure(QStringLiteral("Cannot read standard input: %1").arg(standardInput.errorString()));
            reader = std::make_unique<DomainFileReader>(standardInput, QStringLiteral("standard input"),
                                                        DomainFileReader::defaultChunkBytes, encoding);
        } else {
            reader = std::make_unique<DomainFileReader>(file, DomainFileReader::defaultChunkBytes, encoding);
        }
        return true;
    }
};

FileNameSource::FileNameSource(const QStringList& files, NameEncoding encoding) : d(std::make_unique<Private>())
{
    d->files = files;
    d->encoding = encoding;
}

FileNameSource::~FileNameSource() = default;

void FileNameSource::read(SplitBatch& batch, qsizetype most)
{
    const auto noteBytes = qScopeGuard([this] {
        m_bytesRead.store(d->finishedBytes + (d->reader ? d->reader->bytesRead() : 0), std::memory_order_relaxed);
    });
    const auto finishFile = [this] {
        d->finishedBytes += d->reader->bytesRead();
        d->reader.reset();
    };
    while (static_cast<qsizetype>(batch.nameEnds.size()) < most) {
        try {
            if (!d->reader && !d->openNext())
                return;
            const bool named = d->reader->appendName(batch.names);
            const QStringList skipped = d->reader->takeSkipped();
            if (named)
                batch.nameEnds.push_back(batch.names.size());
            else
                finishFile();
            if (!skipped.isEmpty()) {
                batch.problem = skipped.join(QLatin1Char('\n'));
                return;
            }
        } catch (const Failure& failure) {
            if (d->reader)
                finishFile();
            batch.problem = failure.description();
            return;
        }
    }
}

} // namespace quorvane
