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
#include "run/SplitAhead.h"

#include <QLocale>

#include <algorithm>
#include <chrono>

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

// A copy of the entries [first, end) of the domain list, read in batches.
class EntrySource final : public NameSource
{
public:
    EntrySource(const TextBlock& entries, int first, int end) : m_entries(entries), m_next(first), m_end(end) {}

    void read(SplitBatch& batch, qsizetype most) override
    {
        for (qsizetype k = 0; k < most && m_next < m_end; ++k, ++m_next) {
            const qsizetype start = m_entries.startOf(m_next);
            const qsizetype length = m_entries.lengthOf(m_next);
            const qsizetype at = batch.names.size();
            batch.names.resize(at + length);
            m_entries.copyCharacters(start, length, batch.names.data() + at);
            batch.nameEnds.push_back(batch.names.size());
        }
    }

private:
    const TextBlock m_entries;
    int m_next;
    int m_end;
};

// Batches split ahead of the window: few, so that a change of options wastes little.
constexpr std::size_t readyBatches = 4;

} // namespace

// The jobs of one stretch of the run: the entries [first, end) split ahead of the window.
struct ListSplittingRun::Jobs
{
    Jobs(EntryProcessor& window, const TextBlock& entries, int firstEntry, int endEntry,
         const SplittingRun::Settings& settings)
        : first(firstEntry), end(endEntry),
          ahead(window, settings, std::make_unique<EntrySource>(entries, firstEntry, endEntry), readyBatches)
    {}

    const int first;
    const int end;
    SplitAhead ahead;
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
    settings.kinds = true; // rows with pieces beyond the list stand out
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
        if (std::unique_ptr<SplitBatch> next = m_running->ahead.next(5ms)) {
            m_current = std::move(next);
            continue;
        }
        if (m_running->ahead.finished()) {
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
    const SplitResults& results = batch.results;
    const qsizetype end = results.endSplit(k);
    qsizetype split = results.firstSplit(k);
    if (split == end)
        return;
    const QStringView text = results.text(k);
    m_row = RowFormat::rowStart(batch.name(k), m_runningOptions.showOriginal);
    const qsizetype startLength = m_row.size();
    for (; split < end; ++split) {
        const std::span<const qint32> ends = results.ends(split);
        m_row.truncate(startLength);
        for (std::size_t piece = 0; piece < ends.size(); ++piece) {
            if (piece > 0)
                m_row += QLatin1Char(' ');
            m_row += pieceOf(text, ends, piece);
        }
        m_kept.add(m_row);
        const std::span<const PieceKind> kinds = results.kinds(split);
        m_keptBeyondList.push_back(
            std::any_of(kinds.begin(), kinds.end(), [](PieceKind kind) { return kind != PieceKind::Known; }));
    }
}

void ListSplittingRun::appendKeptRows(const std::function<void()>& rowsAdded)
{
    if (m_kept.isEmpty())
        return;
    m_results.append(std::move(m_kept), true, m_keptBeyondList);
    m_kept = TextBlock();
    m_keptBeyondList.clear();
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
