#pragma once

#include "PieceLattice.h"

#include <QStringView>
#include <QtGlobal>

#include <span>
#include <vector>

namespace quorvane {

class WordScores;

// Where a piece of a split comes from: the word list (a word or a number), or beyond it.
enum class PieceKind : quint8
{
    Known,   // a word of the list or a number
    Letter,  // a letter spelled on its own ("t v shows")
    Unknown, // a stretch that no word of the list fits
};

// What the ranked search may do beyond the word list's own scores.
struct GuessOptions
{
    bool beyondList = false; // pieces beyond the list: spelled letters and unknown stretches
    bool caseHints = false;  // in a text of mixed case, lower-to-upper changes count as likely cuts
};

// The lattice the ranked search walks for a best guess, with each piece's score: the list's pieces, and
// with `beyondList` the pieces beyond it, so that every text has a split. A letter on its own and an unknown
// stretch of unknownShortest to unknownLongest characters each cost a score of their own (a character that
// no other piece takes is a stretch of one); a piece that is both of the list and beyond it scores the better
// of the two. With case hints, a text with a lower-to-upper change loses caseCutScore for every such change
// inside a piece, and upperCutScore for every two upper-case letters in a row inside one (names of mixed
// case spell abbreviations letter by letter): a strong preference for cutting there, never a rule. The
// scores, in nats, were tuned on the train half of a corpus of names with known word boundaries
// (tools/tune-ranking.py --beyond, and --cased --case-hints for the case hints').
class ExtraPieces final
{
public:
    static constexpr double letterScore = -5.0;
    static constexpr double unknownScore = -12.0;
    static constexpr double unknownScorePerUnit = -2.0;
    static constexpr double caseCutScore = -7.25;
    static constexpr double upperCutScore = -3.25;
    static constexpr qsizetype unknownShortest = 3;
    static constexpr qsizetype unknownLongest = 24;

    // Whether `options` change anything for `text`: pieces beyond the list, or case hints in a text whose
    // case gives any.
    static bool applyTo(QStringView text, const GuessOptions& options)
    {
        return options.beyondList || (options.caseHints && hasCaseCuts(text));
    }
    // Whether the text holds upper and lower case letters, and a lower-case one followed by an upper-case one.
    static bool hasCaseCuts(QStringView text);

    // Builds the lattice of `text` and its pieces' scores from `listed`, the pieces of the list from every
    // place: with `beyondList`, all of them, dead ends too (Segmenter::findPieces with keepDeadEnds), since a
    // piece beyond the list may go on from there; otherwise those that lead to the end. `scores` must be
    // refreshed for the dictionary the pieces were found with.
    void build(QStringView text, const PieceLattice& listed, const WordScores& scores, const GuessOptions& options);

    const PieceLattice& lattice() const { return m_lattice; }
    // The score of each piece of the lattice, in its order: by place, then by end.
    std::span<const qint64> pieceScores() const { return m_scores; }
    // The kind of the lattice's piece text[from, to); Known for a piece it does not hold.
    PieceKind kindOf(qsizetype from, qsizetype to) const;

private:
    // Whether place `at` lies between the halves of a surrogate pair.
    static bool insidePair(QStringView text, qsizetype at);

    PieceLattice m_lattice;
    std::vector<qint64> m_scores;
    std::vector<PieceKind> m_kinds;   // in the lattice's order, as m_scores
    std::vector<qint32> m_firstPiece; // per place, the index of its first piece in m_scores
    // With case hints, per place p the scores of the cuts at the places 1 .. p: a piece from i to j crosses
    // those from i + 1 to j - 1.
    std::vector<qint64> m_cutScoresThrough;
    std::vector<qint32> m_ends;        // scratch: the ends from one place
    std::vector<qint32> m_charsBefore; // per place, the characters before it (a surrogate pair is one)
};

} // namespace quorvane
