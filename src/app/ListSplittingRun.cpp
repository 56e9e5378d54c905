#include "ListSplittingRun.h"

#include "core/ErrorTrap.h"
#include "core/EventPump.h"
#include "core/Failure.h"
#include "core/Pointer.h"
#include "core/ProgressIndicator.h"
#include "core/Prompter.h"
#include "engine/NameCleaner.h"
#include "engine/SplitSettings.h"
#include "model/TextListModel.h"
#include "text/LineDecoder.h"

#include <QLocale>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace quorvane {

QString cutNamesMessage(const QStringList& names, const QList<qsizetype>& listed, qsizetype bound)
{
    constexpr qsizetype shown = 5;
    const QLocale english(QLocale::English);
    const QString boundText = english.toString(bound);
    // Splits of a very long name are cut sooner, by the memory they take: those names say how many they got.
    const bool allAtBound = std::all_of(listed.begin(), listed.end(), [bound](qsizetype n) { return n == bound; });
    QString text;
    if (allAtBound)
        text = names.size() == 1
                   ? QStringLiteral("1 name has more than %1 splits; only its first %1 are listed:").arg(boundText)
                   : QStringLiteral("%1 names have more than %2 splits; only the first %2 of each are listed:")
                         .arg(names.size())
                         .arg(boundText);
    else
        text = names.size() == 1
                   ? QStringLiteral("1 name has more splits than can be listed; only its first are listed:")
                   : QStringLiteral("%1 names have more splits than can be listed; only the first of each "
                                    "are listed:")
                         .arg(names.size());
    // A name of thousands of characters would stretch the box far past the screen: its start names it well
    // enough.
    constexpr qsizetype longestName = 100;
    for (qsizetype i = 0; i < std::min(shown, names.size()); ++i) {
        const QString& name = names[i];
        text += QStringLiteral("\r\n");
        text += name.size() <= longestName ? name : name.left(longestName) + QChar(0x2026);
        if (!allAtBound)
            text += QStringLiteral(" (%1 listed)").arg(english.toString(listed.value(i)));
    }
    if (names.size() > shown)
        text += QStringLiteral("\r\n...");
    return text;
}

namespace {

// Rows kept back from the result list at most, before they are appended.
constexpr qsizetype keptRowsAtMost = 16384;

} // namespace

// The jobs of one stretch of the run: a SplittingRun on a thread of its own over a copy of the entries
// [first, end), whose batches wait in a short queue until the window takes them.
class ListSplittingRun::Jobs final : public NameSource, public BatchSink
{
public:
    Jobs(EntryProcessor& window, const TextBlock& entries, int firstEntry, int endEntry,
         const SplittingRun::Settings& settings)
        : first(firstEntry), end(endEntry), m_processor(window), m_entries(entries), m_next(firstEntry),
          m_run(m_processor, settings)
    {
        m_thread = std::thread([this] {
            m_run.run(*this, *this);
            const std::lock_guard<std::mutex> lock(m_lock);
            m_finished = true;
            m_changed.notify_all();
        });
    }

    ~Jobs() override
    {
        m_run.stop();
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_stopped = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void read(SplitBatch& batch, qsizetype most) override
    {
        for (qsizetype k = 0; k < most && m_next < end; ++k, ++m_next) {
            const qsizetype start = m_entries.startOf(m_next);
            const qsizetype length = m_entries.lengthOf(m_next);
            const qsizetype at = batch.names.size();
            batch.names.resize(at + length);
            m_entries.copyCharacters(start, length, batch.names.data() + at);
            batch.nameEnds.push_back(batch.names.size());
        }
    }

    bool take(std::unique_ptr<SplitBatch>& batch) override
    {
        // The window decodes the rows 16 bytes at a time, reading up to LineDecoder::readAhead bytes past the
        // last row: they must be there to be read.
        batch->rows->reserve(LineDecoder::readAhead);
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [&] { return m_ready.size() < maxReady || m_stopped; });
        if (m_stopped)
            return false;
        m_ready.push_back(std::move(batch));
        m_changed.notify_all();
        return true;
    }

    // The next finished batch, waited for at most `wait`; null when there is none yet, or none will come.
    std::unique_ptr<SplitBatch> next(std::chrono::milliseconds wait)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait_for(lock, wait, [&] { return !m_ready.empty() || m_finished; });
        if (m_ready.empty())
            return nullptr;
        std::unique_ptr<SplitBatch> batch = std::move(m_ready.front());
        m_ready.pop_front();
        m_changed.notify_all();
        return batch;
    }

    bool finished()
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_finished && m_ready.empty();
    }

    const int first;
    const int end;

private:
    // Batches split ahead of the window: few, so that a change of options wastes little.
    static constexpr std::size_t maxReady = 4;

    EntryProcessor m_processor; // shares the window's index
    const TextBlock m_entries;
    int m_next;
    SplittingRun m_run;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<SplitBatch>> m_ready;
    bool m_stopped = false;
    bool m_finished = false;
    std::thread m_thread;
};

ListSplittingRun::ListSplittingRun(EntryProcessor& processor, TextListModel& domains, TextListModel& results,
                                   const Seams& seams, std::function<Options()> options)
    : m_processor(&processor), m_domains(domains), m_results(results), m_seams(seams), m_options(std::move(options))
{
    // Entries appended at the end keep the places of those before; any other change may move them.
    const auto changed = [this] { m_domainsChanged = true; };
    m_watches = {
        QObject::connect(&domains, &QAbstractItemModel::rowsRemoved, changed),
        QObject::connect(&domains, &QAbstractItemModel::modelReset, changed),
        QObject::connect(&domains, &QAbstractItemModel::dataChanged, changed),
        QObject::connect(&domains, &QAbstractItemModel::layoutChanged, changed),
        QObject::connect(&domains, &QAbstractItemModel::rowsMoved, changed),
        QObject::connect(&domains, &QAbstractItemModel::rowsInserted, [this](const QModelIndex&, int, int last) {
            if (last + 1 != m_domains.count())
                m_domainsChanged = true;
        })};
}

ListSplittingRun::~ListSplittingRun()
{
    stopJobs();
    for (const QMetaObject::Connection& watch : std::as_const(m_watches))
        QObject::disconnect(watch);
}

void ListSplittingRun::stopJobs()
{
    m_current.reset();
    m_running.reset();
}

void ListSplittingRun::startJobs(int first)
{
    stopJobs();
    m_domainsChanged = false;
    m_runningOptions = m_options();
    SplitSettings asked;
    asked.order = m_runningOptions.order;
    asked.best = m_runningOptions.best;
    asked.caseHints = m_runningOptions.caseHints;
    asked.urlCleaning = false; // the window cleans names as it always did
    asked.jobs = m_jobs;
    SplittingRun::Settings settings;
    settings.split = asked.splitOptions(m_runningOptions.showOriginal);
    settings.split.maxKeptUnits = Segmenter::maxKeptUnits;
    settings.jobs = asked.jobCount();
    settings.batchNames = m_batchNames;
    settings.givesWay = true;
    // The index was made when the words were loaded; the scores, if they are new, are made by the jobs' thread
    // (tens of milliseconds for a large list), not the window's.
    const int end = std::max(first, std::min(m_total, m_domains.count()));
    m_running = std::make_unique<Jobs>(*m_processor, m_domains.textBlock(), first, end, settings);
}

const NameOutcome* ListSplittingRun::awaitEntry(int index, const std::function<bool()>& closing,
                                                const SplitBatch*& batch, qsizetype& inBatch)
{
    using namespace std::chrono_literals;
    for (;;) {
        if (!m_running || m_domainsChanged || m_options() != m_runningOptions || index < m_running->first ||
            index >= m_running->end)
            startJobs(index);
        if (m_current) {
            const qint64 at = index - m_running->first - m_current->firstName;
            if (at >= 0 && at < m_current->count()) {
                batch = m_current.get();
                inBatch = at;
                return &m_current->outcomes[static_cast<std::size_t>(at)];
            }
            m_current.reset();
        }
        if (std::unique_ptr<SplitBatch> next = m_running->next(5ms)) {
            m_current = std::move(next);
            continue;
        }
        if (m_running->finished()) {
            // Every batch came and none holds the entry: start again from it.
            m_running.reset();
            continue;
        }
        // The jobs are still at it: the window answers meanwhile.
        m_seams.pump.waitIdle();
        if (closing())
            return nullptr;
    }
}

void ListSplittingRun::keepRows(const SplitBatch& batch, qsizetype k)
{
    const NameOutcome& outcome = batch.outcomes[static_cast<std::size_t>(k)];
    if (outcome.rows == 0)
        return;
    const qsizetype begin = batch.rowsBegin(k);
    const char* bytes = batch.rows->data() + begin;
    const qsizetype size = outcome.rowsEnd - begin;
    const qsizetype before = m_kept.count();
    {
        LineDecoder decoder(m_kept, TextEncoding::Utf8, LineBreaks::CrLfOrLf);
        decoder.finish(bytes, size);
    }
    if (m_kept.count() - before == outcome.rows)
        return;
    // The entry itself, shown before each split, holds a line break: the rows are told apart by where each
    // split starts, after the entry, since no split holds a line break.
    m_kept.remove(before, m_kept.count() - before);
    m_kept.closeGaps();
    const QByteArray start = (trimBlanks(batch.name(k)).toString() + QStringLiteral(" - ")).toUtf8();
    const qsizetype startBytes = m_runningOptions.showOriginal ? start.size() : 0;
    qsizetype at = 0;
    for (qint64 row = 0; row < outcome.rows && at < size; ++row) {
        const char* lineEnd = static_cast<const char*>(
            std::memchr(bytes + at + startBytes, '\n', static_cast<std::size_t>(size - at - startBytes)));
        const qsizetype length = (lineEnd ? lineEnd - bytes : size) - at;
        m_kept.add(QString::fromUtf8(bytes + at, length));
        at += length + 1;
    }
}

void ListSplittingRun::appendKeptRows(const std::function<void()>& rowsAdded)
{
    if (m_kept.isEmpty())
        return;
    m_results.append(std::move(m_kept), true);
    m_kept = TextBlock();
    rowsAdded();
}

void ListSplittingRun::run(ErrorTrap& trap, const std::function<bool()>& closing,
                           const std::function<void()>& rowsAdded)
{
    Prompter& prompter = m_seams.prompter;
    if (trap.test(100, [&] { return m_domains.isEmpty(); })) {
        trap.step(102, [&] { prompter.message(QStringLiteral("No domains added.")); });
        return;
    }
    trap.step(104, [&] { m_results.clear(); });
    m_total = 0;
    trap.step(106, [&] { m_total = m_domains.count(); });
    QStringList cutNames;
    QList<qsizetype> cutListed;
    int entryNumber = 1;
    if (trap.test(108, [&] { return entryNumber <= m_total; })) {
        do {
            trap.step(110, [&] {
                // Entries added or removed meanwhile change the divisor, not the number of entries run.
                const int now = m_domains.count();
                if (now == 0)
                    throw Failure(QStringLiteral("Division by zero"));
                m_seams.progress.setValue(double(entryNumber) / now * 100.0);
            });
            // Rows kept back reach the list before the window takes its events.
            if (m_seams.pump.due())
                trap.step(122, [&] { appendKeptRows(rowsAdded); });
            trap.step(112, [&] { m_seams.pump.yield(); });
            if (closing()) {
                stopJobs();
                return;
            }
            trap.step(114, [&] { m_seams.pointer.setShape(PointerShape::Busy); });
            const NameOutcome* outcome = nullptr;
            const SplitBatch* batch = nullptr;
            qsizetype inBatch = 0;
            trap.step(116, [&] {
                const int index = entryNumber - 1;
                // An entry removed during a yield is read as the list reads a row it does not have.
                if (index >= m_domains.count())
                    m_domains.text(index);
                outcome = awaitEntry(index, closing, batch, inBatch);
                if (outcome && !outcome->cleaned)
                    throw Failure(outcome->failures.value(0));
            });
            if (closing()) {
                stopJobs();
                return;
            }
            // An entry that could not be cleaned gives no rows: rows from an uncleaned text would mislead.
            if (!outcome || !outcome->cleaned)
                continue;
            // The splits found before a failed search are still listed.
            trap.step(120, [&] {
                if (!outcome->failures.isEmpty())
                    throw Failure(outcome->failures.first());
            });
            if (outcome->cut) {
                cutNames.append(batch->name(inBatch).toString());
                cutListed.append(outcome->rows);
            }
            trap.step(122, [&] {
                keepRows(*batch, inBatch);
                // Rows appended as they come, a block at a time, rather than all those of a time slice at its
                // end: the window then answers after a slice and one block.
                if (m_kept.count() >= keptRowsAtMost)
                    appendKeptRows(rowsAdded);
            });
        } while (trap.loopEnd(124, [&] { return ++entryNumber <= m_total; }));
    }
    stopJobs();
    trap.step(122, [&] { appendKeptRows(rowsAdded); });
    trap.step(126, [&] { m_seams.pointer.setShape(PointerShape::Default); });
    trap.step(128, [&] {
        m_seams.progress.setValue(0);
        m_seams.progress.setText(QStringLiteral("Progress Bar"));
    });
    if (!cutNames.isEmpty())
        trap.step(130,
                  [&] { prompter.message(cutNamesMessage(cutNames, cutListed, Segmenter::defaultMaxCandidates)); });
    trap.step(132, [&] { prompter.message(QStringLiteral("Done.")); });
}

} // namespace quorvane
