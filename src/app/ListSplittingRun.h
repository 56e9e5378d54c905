#pragma once

#include "run/SplittingRun.h"
#include "text/TextBlock.h"

#include <QList>
#include <QMetaObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace quorvane {

class ErrorTrap;
class EventPump;
class Pointer;
class ProgressIndicator;
class Prompter;
class TextListModel;

// The message after a run in which some names had more candidates than could be listed: how many, and the
// first few of them, each cut to its first 100 characters. `listed` holds how many splits each name got;
// when one got fewer than the bound (its splits were too long to keep that many), each name says how many.
QString cutNamesMessage(const QStringList& names, const QList<qsizetype>& listed, qsizetype bound);

// The window's "Start Splitting": the jobs' splits appended to the result list, entry by entry.
class ListSplittingRun final
{
public:
    struct Options
    {
        bool showOriginal = false;
        SplitOrder order = SplitOrder::Search;
        qsizetype best = 0; // the likeliest this many splits of each name, as SplitSettings::best; 0: every split
        bool caseHints = false;
        bool operator==(const Options&) const = default;
    };

    struct Seams
    {
        Prompter& prompter;
        EventPump& pump;
        Pointer& pointer;
        ProgressIndicator& progress;
    };

    // `processor` is the window's (the jobs copy it, sharing its index); `options` is read before each entry.
    ListSplittingRun(EntryProcessor& processor, TextListModel& domains, TextListModel& results, const Seams& seams,
                     std::function<Options()> options);
    ~ListSplittingRun();
    ListSplittingRun(const ListSplittingRun&) = delete;
    ListSplittingRun& operator=(const ListSplittingRun&) = delete;

    // Runs the command under `trap`, from the test for entries to "Done.". After a yield in which `closing()`
    // became true it ends at once. `rowsAdded()` follows each append to the result list.
    void run(ErrorTrap& trap, const std::function<bool()>& closing, const std::function<void()>& rowsAdded);

    // Stops the jobs and drops what they split ahead; the run starts them again at its next entry.
    void stopJobs();
    // Stops the jobs; from the next entry on the run splits with `processor` (the window's, on other words).
    void useProcessor(EntryProcessor& processor)
    {
        stopJobs();
        m_processor = &processor;
    }

    // The number of jobs; 0 (the default) takes one per processor.
    void setJobs(int jobs) { m_jobs = jobs; }
    // Names per batch of the jobs.
    void setBatchNames(qsizetype names) { m_batchNames = names; }

private:
    struct Jobs;

    // The outcome of entry `index` (counted from 0), waited for while the window takes its events; null when
    // `closing()` became true meanwhile. `batch` is set to the batch that holds it.
    const NameOutcome* awaitEntry(int index, const std::function<bool()>& closing, const SplitBatch*& batch,
                                  qsizetype& inBatch);
    void startJobs(int first);
    // Appends entry k of the batch's rows to the rows not yet in the list.
    void keepRows(const SplitBatch& batch, qsizetype k);
    void appendKeptRows(const std::function<void()>& rowsAdded);

    EntryProcessor* m_processor;
    TextListModel& m_domains;
    TextListModel& m_results;
    Seams m_seams;
    std::function<Options()> m_options;
    int m_jobs = 0;
    int m_total = 0; // the entries of the run, fixed when it starts
    qsizetype m_batchNames = 256;

    std::unique_ptr<Jobs> m_running;
    Options m_runningOptions;
    bool m_domainsChanged = false;
    QList<QMetaObject::Connection> m_watches;
    std::unique_ptr<SplitBatch> m_current; // the batch the window is appending from
    TextBlock m_kept;                      // rows appended at the next yield that takes events
    QString m_row;                         // the row being built
    std::vector<bool> m_keptBeyondList;    // per kept row: whether its split holds a piece beyond the word list
};

} // namespace quorvane
