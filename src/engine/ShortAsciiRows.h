#pragma once

#include "AsciiWordTrie.h"
#include "ExtraPieces.h"
#include "SplitReceiver.h"
#include "WordDictionary.h"

#include <QStringView>

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace quorvane {

class Segmenter;
class WordScores;
class WordTrie;

// The fast path of short ASCII texts' splits, from 64-bit masks of their pieces.
class ShortAsciiRows final
{
public:
    // The longest text taken.
    static constexpr qsizetype maxLength = 64;

    // The dictionary must outlive this; copies share its index.
    explicit ShortAsciiRows(const WordDictionary& dictionary);

    // Whether the fast path takes the text: ASCII, at most maxLength characters, and the dictionary's ASCII
    // words fit in the double-array trie. The trie is built from `segmenter`'s index of the words, again
    // when that index was made anew; the calls after it use that trie.
    bool takes(QStringView text, Segmenter& segmenter);

    // The splits of such a text in search order, handed to `receiver` (without scores), at most `maxCandidates`
    // (0: all). Returns true when the list was cut; `given` is set to the splits taken.
    bool splits(QStringView text, qsizetype maxCandidates, SplitReceiver& receiver, qsizetype& given);

    // The ranked splits of such a text: best first (equal scores in search order), at most `wanted` (0: all),
    // each with its score. Returns whether the list was cut, which it is when `wantedIsBound` and the text has
    // more splits than `wanted`; `given` is set to the splits taken. Returns nothing, handing on nothing, for a
    // text with too many splits to list here (none when `wanted` is 1). `scores` must be refreshed for the
    // dictionary as it is now.
    std::optional<bool> rankedSplits(QStringView text, const WordScores& scores, qsizetype wanted, bool wantedIsBound,
                                     SplitReceiver& receiver, qsizetype& given);

    // The likeliest split of such a text when pieces beyond the word list may be taken (ExtraPieces.h, without
    // case hints): the first split of RankedSearch over ExtraPieces' lattice. Every text has one. `scores` as
    // for rankedSplits().
    void bestGuess(QStringView text, const WordScores& scores, SplitReceiver& receiver);

    // Scores the trie's words now (it is done with the first ranked text otherwise), so that copies share them;
    // after takes().
    void prepareScores(const WordScores& scores);

private:
    void refreshScores(const WordScores& scores);
    // Per place, the ends of its pieces from which the rest can be split, as masks into m_endMasks; with
    // `withScores`, where each piece's score lies too, in m_pieceNodes. With `everyPlace`, only every piece from
    // every place, in m_pieceMasks.
    template <bool withScores, bool everyPlace = false> void findEndMasks(QStringView text);
    // The depth-first search over m_endMasks, in search order, handing each split's pieces to `path`
    // (ShortAsciiRows.cpp). Returns true when `path` stopped it.
    template <typename Path> bool walkSplits(qint32 size, Path& path);
    // Ranked, after findEndMasks<true>(): backwards over the places, per place how many splits the rest has
    // (counted up to a little past what may be listed); `withBest`, also the best one's score and its first
    // piece's end. Returns the count from the start.
    template <bool withBest> qint64 countBackwards(qint32 size);
    // The piece ends of the best split, after countBackwards<true>().
    quint64 bestSplitEnds(qint32 size) const;
    // Lists the text's splits in search order, each as its sorting key and the mask of its piece ends, and
    // returns how many there are; when there are more than `limit`, it stops there and returns limit + 1.
    qint64 listSplits(qint32 size, qint64 limit);
    // The keys of the first `taken` of the `total` splits listed, best first (equal scores in search order).
    std::span<const qint64> sortListed(qint64 total, qint64 taken);

    struct Index
    {
        AsciiWordTrie trie;
        bool built = false;
        std::shared_ptr<const WordTrie> words; // the segmenter's index it was built from
    };

    // Per cell of the trie, the score of the word whose node it is.
    struct NodeScores
    {
        std::vector<qint16> scores;
        std::vector<qint16> guessScores;    // the same with the counts in real names, for the best guess
        std::shared_ptr<const Index> index; // the trie they are for
    };

    const WordDictionary& m_dictionary;
    std::shared_ptr<const Index> m_index;
    std::shared_ptr<const NodeScores> m_nodeScores;
    std::array<quint64, maxLength> m_endMasks{};
    std::array<quint64, maxLength> m_pieceMasks{}; // before the backward pass: every piece from each place
    // Ranked: where the score of the piece from place i of length k + 1 lies in NodeScores is
    // m_pieceNodes[i][k], set by the walk for every step from place i (read only for the pieces in
    // m_endMasks[i]); per place, how many splits the rest has, the best one's score and its first piece's
    // end; the splits listed in search order: the masks of their piece ends, and their sorting keys.
    std::array<std::array<quint32, maxLength>, maxLength> m_pieceNodes{};
    std::array<qint64, maxLength + 1> m_splitCounts{};
    std::array<qint64, maxLength + 1> m_bestScores{};
    std::array<qint32, maxLength + 1> m_bestEnds{};
    std::vector<quint64> m_listedMasks;
    std::vector<qint64> m_listedKeys;
    std::vector<qint64> m_spareKeys;
    GuessPieceScores m_guesses; // the best guess's pieces beyond the list
};

} // namespace quorvane
