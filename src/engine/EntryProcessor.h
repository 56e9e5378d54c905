#pragma once

#include "ExtraPieces.h"
#include "NameCleaner.h"
#include "PieceLattice.h"
#include "RankedSearch.h"
#include "Segmenter.h"
#include "ShortAsciiRows.h"
#include "SplitReceiver.h"
#include "WordScores.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <set>
#include <span>

namespace quorvane {

class WordDictionary;

// The order of a name's splits: that of the search, or the most likely first (by WordScores; equal scores
// keep search order).
enum class SplitOrder
{
    Search,
    Ranked,
};

// What is asked of the splitting of one name.
struct SplitOptions
{
    bool showOriginal = false;
    qsizetype maxCandidates = Segmenter::defaultMaxCandidates; // the bound; a name beyond it is cut; 0: none
    SplitOrder order = SplitOrder::Search;
    qsizetype best = 0; // ranked only: at most this many of the best splits, without counting as cut; 0: all
    // A bound on what one name's rows keep, in UTF-16 units of the splits (a blank before each piece): past it
    // the name is cut, as the window's list would otherwise take gigabytes for a long name; 0: none.
    qsizetype maxKeptUnits = 0;
    // Ranked only: pieces beyond the word list and case hints (ExtraPieces.h); none by default.
    GuessOptions guesses = {};
    // Ranked only: the memory one name's search may hold; past it the name ends with a failure after the
    // splits found before.
    qsizetype maxSearchBytes = RankedSearch::defaultMemoryLimit;
    // A URL is reduced to its host and path first (reduceUrl in NameCleaner.h); off, the window's cleaning alone.
    bool urlCleaning = false;
};

// The cleaning and splitting of one name for every front end; one per job.
class EntryProcessor final
{
public:
    // The dictionary must outlive the processor; "suffix.lst" is looked up in `applicationFolder`.
    EntryProcessor(const WordDictionary& dictionary, const QString& applicationFolder);
    // A processor for another thread, with the same dictionary and folder: it shares `other`'s search index
    // rather than building its own, and reads "suffix.lst" itself.
    EntryProcessor(const EntryProcessor& other);
    EntryProcessor& operator=(const EntryProcessor&) = delete;

    // Builds the search index now (it is built with the first search otherwise), so that copies share it.
    void prepareIndex();

    using Outcome = SplitOutcome;

    // Cleans the entry and hands its splits, in the order asked, to `receiver` as they are found: begin, each
    // split, end (short ASCII texts by ShortAsciiRows when the receiver wants neither scores nor kinds).
    Outcome split(QStringView entry, const SplitOptions& options, SplitReceiver& receiver);

    // The splits of one text in the order asked, both orders behind one call: `sink(ends, pieces, firstNew,
    // score)` as for Segmenter::forEachSplit, with the split's score when `withScores` (0 otherwise; ranked
    // splits always carry theirs); `guessing` is ExtraPieces::applyTo(text, options.guesses), which the caller
    // has decided. Returns true when cut by the bound; throws Failure as search() does.
    template <typename Sink>
    bool forEachSplit(QStringView text, const SplitOptions& options, bool withScores, bool guessing, Sink&& sink);

    // split() with `sink(text, ends, score)` as the receiver (a false return stops the splits as cut), the
    // score given when `withScores`.
    using SplitSink = std::function<bool(QStringView text, std::span<const qint32> ends, qint64 score)>;
    Outcome splitEntry(QStringView entry, const SplitOptions& options, bool withScores, const SplitSink& sink);

    // The scores of the dictionary's words, built on first use and again after the dictionary changed; copies
    // of the processor made after this share them.
    const WordScores& scores();
    void prepareScores();

    // Where the piece text[from, to) of the split being handed out by forEachSplit() or splitEntry() comes
    // from: always the list, but for the pieces beyond it that SplitOptions::guesses allow.
    PieceKind pieceKind(qsizetype from, qsizetype to) const
    {
        if (!m_extraInUse)
            return PieceKind::Known;
        return to - from == 1 && m_runLetter[static_cast<std::size_t>(from)] ? PieceKind::Letter
                                                                             : m_extra.kindOf(from, to);
    }

private:
    // How many ranked splits are wanted, and whether that is the bound.
    struct RankedWanted
    {
        qsizetype wanted;
        bool isBound;
    };
    static RankedWanted rankedWanted(const SplitOptions& options)
    {
        const qsizetype bound = options.maxCandidates;
        const bool boundLimits = bound > 0 && (options.best <= 0 || options.best > bound);
        return {boundLimits ? bound : options.best, boundLimits};
    }

    [[noreturn]] static void throwOutOfMemory(qsizetype given);

    // The splits of the cleaned text to the receiver; true when cut. Throws Failure as forEachSplit() does.
    bool searchInto(QStringView text, const SplitOptions& options, SplitReceiver& receiver, qsizetype& given);

    const WordDictionary& m_dictionary;
    NameCleaner m_cleaner;
    Segmenter m_segmenter;
    // The fast path of short ASCII texts, unless the portable code alone runs: the same splits.
    std::optional<ShortAsciiRows> m_shortAscii;
    std::optional<WordScores> m_scores; // made on the first ranked split; copies share its table
    PieceLattice m_lattice;
    RankedSearch m_ranked;
    ExtraPieces m_extra; // the lattice of a ranked search with guesses, when m_extraInUse
    bool m_extraInUse = false;
    // With guesses: the split handed out, its runs letter by letter, the places where a run's letter starts,
    // and the splits handed out before (two ways through the lattice may write the same letters).
    std::vector<qint32> m_written;
    std::vector<qint32> m_writtenBefore;
    std::vector<bool> m_runLetter;
    std::set<std::vector<qint32>> m_givenGuesses;
    std::vector<qint64> m_scoreSums; // search order with scores: the score up to the end of each piece
    std::vector<PieceKind> m_kinds;  // the kinds of the split handed out, when the receiver wants them
    QString m_text;
};

template <typename Sink>
bool EntryProcessor::forEachSplit(QStringView text, const SplitOptions& options, bool withScores, bool guessing,
                                  Sink&& sink)
{
    m_extraInUse = false;
    if (options.order == SplitOrder::Search) {
        if (!withScores) {
            return m_segmenter.forEachSplit(text, options.maxCandidates,
                                            [&](const qint32* ends, qsizetype pieces, qsizetype firstNew) {
                                                return sink(ends, pieces, firstNew, qint64(0));
                                            });
        }
        const WordScores& wordScores = scores();
        m_scoreSums.resize(static_cast<std::size_t>(text.size() + 1));
        m_scoreSums[0] = 0;
        return m_segmenter.forEachSplit(
            text, options.maxCandidates, [&](const qint32* ends, qsizetype pieces, qsizetype firstNew) {
                for (qsizetype k = firstNew; k < pieces; ++k) {
                    const qint32 from = k == 0 ? 0 : ends[k - 1];
                    m_scoreSums[static_cast<std::size_t>(k + 1)] =
                        m_scoreSums[static_cast<std::size_t>(k)] +
                        wordScores.pieceScore(text.mid(from, ends[k] - from));
                }
                return sink(ends, pieces, firstNew, m_scoreSums[static_cast<std::size_t>(pieces)]);
            });
    }
    // The longest text fails only when its search reaches the whole text; the best splits are refused at once.
    if (options.best > 0 && text.size() >= Segmenter::maxTextLength)
        Segmenter::throwTooLong(text.size());
    const RankedWanted ranked = rankedWanted(options);
    m_ranked.setMemoryLimit(options.maxSearchBytes);
    if (guessing) {
        m_segmenter.findPieces(text, m_lattice, options.guesses.beyondList);
        m_extra.build(text, m_lattice, scores(), options.guesses);
        m_extraInUse = true;
        // With runs of letters every split is taken, since those that write their letters as another did are
        // skipped.
        m_ranked.start(m_extra.lattice(), m_extra.pieceScores(), options.guesses.beyondList ? 0 : ranked.wanted);
    } else {
        m_segmenter.findPieces(text, m_lattice);
        m_ranked.start(text, m_lattice, scores(), ranked.wanted);
    }
    const bool beyondList = m_extraInUse && options.guesses.beyondList;
    m_givenGuesses.clear();
    m_writtenBefore.clear();
    qsizetype given = 0;
    try {
        while ((ranked.wanted <= 0 || given < ranked.wanted) && m_ranked.next()) {
            std::span<const qint32> ends = m_ranked.ends();
            qsizetype firstNew = m_ranked.firstNew();
            if (beyondList) {
                m_extra.writeOut(ends, m_written, m_runLetter);
                if (!m_givenGuesses.insert(m_written).second)
                    continue;
                firstNew =
                    std::mismatch(m_written.begin(), m_written.end(), m_writtenBefore.begin(), m_writtenBefore.end())
                        .first -
                    m_written.begin();
                m_writtenBefore = m_written;
                ends = m_written;
            }
            if (!sink(ends.data(), static_cast<qsizetype>(ends.size()), firstNew, m_ranked.score()))
                return true;
            ++given;
        }
        // The list is cut when a further split is written unlike all given: with runs of letters, the splits
        // left may all write their letters as one given did.
        bool cut = ranked.isBound && m_ranked.hasMore();
        while (cut && beyondList) {
            if (!m_ranked.next()) {
                cut = false;
                break;
            }
            m_extra.writeOut(m_ranked.ends(), m_written, m_runLetter);
            if (!m_givenGuesses.contains(m_written))
                break;
        }
        // As in search order: at the longest length a list that was not cut fails after its splits.
        if (text.size() == Segmenter::maxTextLength && !cut)
            Segmenter::throwTooLong(text.size());
        return cut;
    } catch (const std::bad_alloc&) {
        // The splits handed out stay; the search's memory goes back before the failure is reported.
        m_ranked.release();
        throwOutOfMemory(given);
    }
}

} // namespace quorvane
