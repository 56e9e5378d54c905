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

// The scores of the pieces beyond the list in one text, as ExtraPieces weighs them: spelled runs of letters
// and unknown stretches, each from its evidence.
class GuessPieceScores final
{
public:
    static constexpr qsizetype runLongest = 10;

    // Reads `text` for the scores of its pieces; `scores` must outlive the calls that follow.
    void prepare(QStringView text, const WordScores& scores);
    // How many letters follow one another from `at`, at most runLongest.
    qsizetype runLength(qsizetype at) const { return m_runLengths[static_cast<std::size_t>(at)]; }
    // The score of the run of letters text[at, end) (at most runLength(at) of them), written letter by
    // letter; `listed` when the run is a word of the list.
    qint32 run(qsizetype at, qsizetype end, bool listed) const
    {
        const auto length = static_cast<qint32>(end - at);
        const auto i = static_cast<std::size_t>(at);
        return m_runBase + m_runPerLetter * length +
               (m_vowelsBefore[std::size_t(end)] == m_vowelsBefore[i] ? m_noVowel : 0) + (listed ? m_listWord : 0) +
               m_runCounts[i * std::size_t(runLongest) + std::size_t(length - 1)] + m_runTrigrams.of(at, end);
    }
    // The score of an unknown stretch of two units or more from `at` to `end` of `characters` characters is
    // stretchStart(at) + stretchEnd(end) + the score per character times `characters`.
    qint32 stretchStart(qsizetype at) const { return m_unknownBase + m_unknownTrigrams.head[std::size_t(at)]; }
    qint32 stretchEnd(qsizetype end) const { return m_unknownTrigrams.tail[std::size_t(end)]; }
    qint32 stretchPerCharacter() const { return m_unknownPerCharacter; }
    // The score of the unknown stretch text[at, end) of `characters` characters.
    qint32 unknown(qsizetype at, qsizetype end, qsizetype characters) const
    {
        return m_unknownBase + m_unknownPerCharacter * static_cast<qint32>(characters) + m_unknownTrigrams.of(at, end);
    }

private:
    // A weight times how likely each stretch of the text is as a word by the list's character trigrams
    // (WordScores::trigram), each trigram's part rounded to units on its own so that the parts add up exactly:
    // `weighted`, as WordScores::runTrigramUnits() gives them.
    struct Trigrams
    {
        std::vector<qint32> one;   // per place: the stretch of that one character
        std::vector<qint32> head;  // per place: the first two characters' trigrams less inner's through place + 1
        std::vector<qint32> inner; // per place k: the trigrams of the characters 2 .. k given the two before
        std::vector<qint32> tail;  // per end: the end's trigram and inner's through end - 1
        void prepare(const std::vector<qint8>& symbols, const qint16* weighted);
        qint32 of(qsizetype at, qsizetype end) const
        {
            return end - at == 1 ? one[std::size_t(at)] : head[std::size_t(at)] + tail[std::size_t(end)];
        }
    };

    std::vector<qint8> m_symbols;
    std::vector<qint32> m_vowelsBefore;
    std::vector<qint8> m_runLengths;
    std::vector<qint32> m_runCounts; // per place and length - 1 of a run from there: its evidence's score
    Trigrams m_runTrigrams;
    Trigrams m_unknownTrigrams;
    qint32 m_runBase = 0;
    qint32 m_runPerLetter = 0;
    qint32 m_noVowel = 0;
    qint32 m_listWord = 0;
    qint32 m_unknownBase = 0;
    qint32 m_unknownPerCharacter = 0;
};

// The lattice and piece scores of a ranked search that may go beyond the list.
class ExtraPieces final
{
public:
    static constexpr double runScore = -6.117;
    static constexpr double runScorePerLetter = -2.455;
    static constexpr double runNoVowelScore = 0.898;
    static constexpr double runListWordScore = 1.549;
    static constexpr double runTrigramScore = 0.103;    // per nat
    static constexpr double runCountScore = 0.574;      // per ln(1 + count)
    static constexpr double runCapitalsScore = 1.322;   // a run written in capitals alone ("NASA")
    static constexpr double wordCapitalsScore = -1.157; // a word of the list also written in capitals alone
    static constexpr double unknownScore = -3.306;
    static constexpr double unknownScorePerUnit = 0.35;
    static constexpr double unknownTrigramScore = 0.951;
    static constexpr double nameCountScore = 0.545; // a word of the list, per ln(1 + count)
    static constexpr double caseCutScore = -6.263;
    static constexpr double upperCutScore = -0.971;
    static constexpr qsizetype runLongest = GuessPieceScores::runLongest;
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
    // The split `ends` through the lattice as written: each run of letters letter by letter, into `written`;
    // `runLetter` gets, per place, whether a run's letter starts there.
    void writeOut(std::span<const qint32> ends, std::vector<qint32>& written, std::vector<bool>& runLetter) const;

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
    GuessPieceScores m_guesses;
};

} // namespace quorvane
