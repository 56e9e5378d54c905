#include "ModuleSplitter.h"

#include "core/Failure.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "engine/WordDictionary.h"

#include <algorithm>

namespace quorvane {

namespace {

// The reports of loading the words, kept instead of shown; nothing is asked of a user.
class KeepingPrompter final : public Prompter
{
public:
    void message(const QString& text) override { reports.append(text); }
    void errorReport(const QString& text) override { reports.append(text); }
    void stepFailed(const QString& description, const QString&, int) override { reports.append(description); }
    QString inputBox(const QString&) override { return QString(); }
    QStringList openFileNames(const FileDialogOptions&) override { return QStringList(); }
    QString saveFileName(const FileDialogOptions&) override { return QString(); }

    QStringList reports;
};

// The names of one chunk, batch after batch.
class ChunkSource final : public NameSource
{
public:
    explicit ChunkSource(ModuleSplitter::NameChunk chunk) : m_chunk(std::move(chunk)) {}

    void read(SplitBatch& batch, qsizetype most) override
    {
        const std::size_t last = std::min(m_next + static_cast<std::size_t>(most), m_chunk.ends.size());
        for (; m_next < last; ++m_next) {
            const qsizetype start = m_next == 0 ? 0 : m_chunk.ends[m_next - 1];
            batch.names.append(QStringView(m_chunk.names).mid(start, m_chunk.ends[m_next] - start));
            batch.nameEnds.push_back(batch.names.size());
        }
    }

private:
    const ModuleSplitter::NameChunk m_chunk;
    std::size_t m_next = 0;
};

} // namespace

ModuleSplitter::ModuleSplitter(const Settings& settings)
    : m_settings(settings), m_dictionary(std::make_unique<WordDictionary>())
{
    KeepingPrompter prompter;
    PlainPointer pointer;
    loadChosenWords(settings.split.list, settings.split.wordsFile, settings.dataFolder, *m_dictionary, prompter,
                    pointer);
    if (m_dictionary->isEmpty() && !prompter.reports.isEmpty())
        throw Failure(prompter.reports.first());
    m_loadReports = prompter.reports;
    applyUserWords(*m_dictionary, settings.split.userWords);
    m_prototype = std::make_unique<EntryProcessor>(*m_dictionary, settings.dataFolder);
    // Built once here, the index and the scores are shared by every processor copied from the prototype.
    m_prototype->prepareIndex();
    m_prototype->prepareScores();
}

ModuleSplitter::~ModuleSplitter() = default;

SplitOptions ModuleSplitter::bestOptions(qsizetype best) const
{
    SplitSettings settings = m_settings.split;
    settings.order = SplitOrder::Ranked;
    settings.best = best;
    return settings.splitOptions();
}

ModuleSplitter::Lease::Lease(ModuleSplitter& owner) : m_owner(owner)
{
    const std::lock_guard<std::mutex> lock(owner.m_poolLock);
    if (owner.m_pool.empty()) {
        m_processor = std::make_unique<EntryProcessor>(*owner.m_prototype);
    } else {
        m_processor = std::move(owner.m_pool.back());
        owner.m_pool.pop_back();
    }
}

ModuleSplitter::Lease::~Lease()
{
    const std::lock_guard<std::mutex> lock(m_owner.m_poolLock);
    m_owner.m_pool.push_back(std::move(m_processor));
}

EntryProcessor::Outcome ModuleSplitter::splits(QStringView name, SplitOrder order, qsizetype best, SplitResults& into)
{
    into.clear();
    into.wantsScores = true;
    SplitOptions options;
    if (order == SplitOrder::Ranked) {
        options = bestOptions(best);
    } else {
        options.maxCandidates = m_settings.split.maxSplits;
        options.order = order;
        options.urlCleaning = m_settings.split.urlCleaning;
    }
    const Lease processor(*this);
    return processor->split(name, options, into);
}

EntryProcessor::Outcome ModuleSplitter::bestSplit(QStringView name, SplitResults& into)
{
    into.clear();
    into.wantsScores = false;
    const Lease processor(*this);
    return processor->split(name, bestOptions(1), into);
}

std::unique_ptr<SplitAhead> ModuleSplitter::splitBest(NameChunk chunk, int jobs)
{
    SplittingRun::Settings settings;
    settings.split = bestOptions(1);
    settings.jobs = jobs;
    // The whole chunk is split ahead, however slowly its splits are taken.
    return std::make_unique<SplitAhead>(*m_prototype, settings, std::make_unique<ChunkSource>(std::move(chunk)), 0);
}

} // namespace quorvane
