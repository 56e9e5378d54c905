#include "EntryProcessor.h"

#include "core/Failure.h"
#include "core/ProcessorFeatures.h"

namespace quorvane {

EntryProcessor::EntryProcessor(const WordDictionary& dictionary, const QString& applicationFolder)
    : m_dictionary(dictionary), m_cleaner(applicationFolder), m_segmenter(dictionary)
{
    if (!processor::portableOnly())
        m_shortAscii.emplace(dictionary);
}

EntryProcessor::EntryProcessor(const EntryProcessor& other)
    : m_dictionary(other.m_dictionary), m_cleaner(other.m_cleaner.applicationFolder(), other.m_cleaner.changeCheck()),
      m_segmenter(other.m_segmenter), m_shortAscii(other.m_shortAscii), m_scores(other.m_scores)
{}

void EntryProcessor::prepareIndex()
{
    m_segmenter.prepareIndex();
    if (m_shortAscii)
        m_shortAscii->takes(QStringView(), m_segmenter); // builds its index
}

const WordScores& EntryProcessor::scores()
{
    // The scores find the words through the search's own index.
    if (m_scores)
        m_scores->refresh([this] { return m_segmenter.wordIndex(); });
    else
        m_scores.emplace(m_dictionary, m_segmenter.wordIndex());
    return *m_scores;
}

void EntryProcessor::prepareScores()
{
    scores();
    if (m_shortAscii) {
        m_shortAscii->takes(QStringView(), m_segmenter);
        m_shortAscii->prepareScores(*m_scores);
    }
}

void EntryProcessor::throwOutOfMemory(qsizetype given)
{
    throw Failure(QStringLiteral("Out of memory after %1 ranked splits: the rest of this name's splits were left out.")
                      .arg(given));
}

namespace {

// The units the splits of a text keep, as a list of strings would: a blank before each piece, and the
// pieces, which make up the whole text. Past the bound, the splits end as cut.
struct KeptUnits
{
    qsizetype bound; // 0: none
    qsizetype textSize;
    qsizetype kept = 0;

    bool exceededBy(qsizetype pieces)
    {
        if (bound <= 0)
            return false;
        kept += pieces == 0 ? 0 : textSize + pieces;
        return kept > bound;
    }
};

// A receiver made of a function, for splitEntry().
class SinkReceiver final : public SplitReceiver
{
public:
    SinkReceiver(const EntryProcessor::SplitSink& sink, bool withScores) : m_sink(sink) { wantsScores = withScores; }
    void begin(QStringView, QStringView text) override { m_text = text; }
    bool split(const FoundSplit& found) override { return m_sink(m_text, found.ends, found.score); }
    void end(const SplitOutcome&) override {}

private:
    const EntryProcessor::SplitSink& m_sink;
    QStringView m_text;
};

} // namespace

EntryProcessor::Outcome EntryProcessor::splitEntry(QStringView entry, const SplitOptions& options, bool withScores,
                                                   const SplitSink& sink)
{
    SinkReceiver receiver(sink, withScores);
    return split(entry, options, receiver);
}

EntryProcessor::Outcome EntryProcessor::split(QStringView entry, const SplitOptions& options, SplitReceiver& receiver)
{
    Outcome outcome;
    m_cleaner.setUrlCleaning(options.urlCleaning);
    try {
        m_cleaner.cleanForSearch(entry, m_text);
    } catch (const Failure& failure) {
        outcome.cleaned = false;
        outcome.failures.append(failure.description());
        receiver.begin(entry, QStringView());
        receiver.end(outcome);
        return outcome;
    }
    const QStringView text(m_text);
    receiver.begin(entry, text);
    try {
        outcome.cut = searchInto(text, options, receiver, outcome.rows);
    } catch (const Failure& failure) {
        outcome.failures.append(failure.description());
    }
    receiver.end(outcome);
    return outcome;
}

bool EntryProcessor::searchInto(QStringView text, const SplitOptions& options, SplitReceiver& receiver,
                                qsizetype& given)
{
    const qsizetype maxCandidates = options.maxCandidates;
    // Short texts keep too few units to reach a bound on them.
    const bool keptUnitsBound =
        options.maxKeptUnits > 0 &&
        (maxCandidates <= 0 || maxCandidates * (2 * ShortAsciiRows::maxLength + 1) > options.maxKeptUnits);
    const bool guessing = ExtraPieces::applyTo(text, options.guesses);
    if (m_shortAscii && !keptUnitsBound && !receiver.wantsScores && !receiver.wantsKinds &&
        m_shortAscii->takes(text, m_segmenter)) {
        if (options.order == SplitOrder::Search)
            return m_shortAscii->splits(text, maxCandidates, receiver, given);
        // Of the texts with guesses beyond the list or case hints, the fast path takes the best guess alone,
        // without case hints; the rest are left to the plain search.
        if (options.guesses.beyondList && options.best == 1 &&
            !(options.guesses.caseHints && ExtraPieces::hasCaseCuts(text))) {
            m_shortAscii->bestGuess(text, scores(), receiver);
            given = 1;
            return false;
        }
        if (!guessing) {
            const RankedWanted ranked = rankedWanted(options);
            if (const std::optional<bool> cut =
                    m_shortAscii->rankedSplits(text, scores(), ranked.wanted, ranked.isBound, receiver, given))
                return *cut;
        }
    }
    KeptUnits kept{options.maxKeptUnits, text.size()};
    const bool withKinds = receiver.wantsKinds;
    return forEachSplit(
        text, options, receiver.wantsScores, guessing,
        [&](const qint32* ends, qsizetype pieces, qsizetype same, qint64 score) {
            if (kept.exceededBy(pieces))
                return false;
            FoundSplit split{std::span<const qint32>(ends, static_cast<std::size_t>(pieces)), same, score, {}};
            if (withKinds && m_extraInUse) {
                m_kinds.resize(split.ends.size());
                for (std::size_t k = 0; k < split.ends.size(); ++k)
                    m_kinds[k] = pieceKind(k == 0 ? 0 : split.ends[k - 1], split.ends[k]);
                split.kinds = m_kinds;
            }
            if (!receiver.split(split))
                return false;
            ++given;
            return true;
        });
}

} // namespace quorvane
