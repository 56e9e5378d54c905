#pragma once

#include "engine/EntryProcessor.h"
#include "engine/SplitSettings.h"
#include "engine/UserWords.h"
#include "engine/WordLists.h"
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

    // The splits of one name: its cleaned text, piece ends and scores.
    struct Splits
    {
        QString text;
        std::vector<qint32> ends;
        std::vector<std::size_t> splitEnds; // where each split's ends end in `ends`
        std::vector<qint64> scores;
        EntryProcessor::Outcome outcome;

        std::size_t count() const { return splitEnds.size(); }
        std::span<const qint32> split(std::size_t k) const
        {
            const std::size_t from = k == 0 ? 0 : splitEnds[k - 1];
            return std::span<const qint32>(ends).subspan(from, splitEnds[k] - from);
        }
    };
    // The splits of `name`: ranked, the `best` most likely (0: all, up to the bound); in search order, all up to
    // the bound. Scores are given in both orders.
    void splits(QStringView name, SplitOrder order, qsizetype best, Splits& into);

    // The row of the name's best split, as quorvane-split --best 1 writes it, into `row` (emptied first): its
    // pieces with a blank between and a line feed, or nothing when the name has no split.
    EntryProcessor::Outcome bestRow(QStringView name, BatchRows& row);

    // Names for splitBest(), one after the other in one string.
    struct NameChunk
    {
        QString names;
        std::vector<qsizetype> ends;
    };
    // Each name's best split, as quorvane-split --best 1 writes it (one row, or none, per name), from a
    // SplittingRun over the chunk on `jobs` jobs (as SplitSettings::jobCount() gives them).
    std::vector<std::unique_ptr<SplitBatch>> splitBest(const NameChunk& chunk, int jobs);

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
