#pragma once

#include "engine/EntryProcessor.h"
#include "engine/SplitSettings.h"
#include "engine/UserWords.h"
#include "engine/WordLists.h"
#include "run/SplitAhead.h"
#include "run/SplittingRun.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <mutex>
#include <vector>

namespace quorvane {

class WordDictionary;

// The words and pooled processors behind one Splitter of the Python module.
class ModuleSplitter final
{
public:
    struct Settings
    {
        SplitSettings split; // the list, the bound, the order of the best splits and the user's words
        QString dataFolder;  // the application folder: dbWords.mdb, google.col, mit.col, suffix.lst
    };

    // Loads the words. Throws Failure with the first report when no word could be loaded although the source
    // was asked for (a missing or unreadable file, a missing database); the reports of a load that still gave
    // words (duplicates, say) are kept in loadReports().
    explicit ModuleSplitter(const Settings& settings);
    ~ModuleSplitter();
    ModuleSplitter(const ModuleSplitter&) = delete;
    ModuleSplitter& operator=(const ModuleSplitter&) = delete;

    const QStringList& loadReports() const { return m_loadReports; }
    qsizetype maxSplits() const { return m_settings.split.maxSplits; }

    // The splits of `name` into `into` (emptied first), with their scores: ranked, the `best` most likely (0:
    // all, up to the bound); in search order, all up to the bound.
    EntryProcessor::Outcome splits(QStringView name, SplitOrder order, qsizetype best, SplitResults& into);

    // The name's best split, as quorvane-split --best 1 finds it, into `into` (emptied first).
    EntryProcessor::Outcome bestSplit(QStringView name, SplitResults& into);

    // Names for splitBest(), one after the other in one string.
    struct NameChunk
    {
        QString names;
        std::vector<qsizetype> ends;
    };
    // Each name's best split (in the batches' results), as quorvane-split --best 1 finds it, split ahead on a
    // thread of its own over the chunk on `jobs` jobs (as SplitSettings::jobCount() gives them).
    std::unique_ptr<SplitAhead> splitBest(NameChunk chunk, int jobs);

private:
    // What quorvane-split --best N asks (with the same options): the N most likely splits.
    SplitOptions bestOptions(qsizetype best) const;

    // A processor of the pool for one call.
    class Lease final
    {
    public:
        explicit Lease(ModuleSplitter& owner);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        EntryProcessor* operator->() const { return m_processor.get(); }
        EntryProcessor& operator*() const { return *m_processor; }

    private:
        ModuleSplitter& m_owner;
        std::unique_ptr<EntryProcessor> m_processor;
    };

    Settings m_settings;
    QStringList m_loadReports;
    std::unique_ptr<WordDictionary> m_dictionary;
    std::unique_ptr<EntryProcessor> m_prototype; // never splits: the processors are copied from it
    std::mutex m_poolLock;
    std::vector<std::unique_ptr<EntryProcessor>> m_pool;
};

} // namespace quorvane
