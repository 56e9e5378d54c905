#pragma once

#include "WordDictionary.h"
#include "WordTrie.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace quorvane {

// The score of each piece of a split, in fixed-point nats.
class WordScores final
{
public:
    static constexpr qint32 unitsPerNat = 64;

    // The weights, in nats, tuned on the train half of a corpus of names with known word boundaries.
    static constexpr double pieceBonus = 1.0;
    static constexpr double oneLetterPenalty = -1.85;
    static constexpr double twoLetterPenalty = -1.6;
    static constexpr double unlistedPenalty = -3.0;
    static constexpr double compoundBonus = 0.25;
    static constexpr double unlistedCompoundPenalty = -3.0; // beside unlistedPenalty
    static constexpr double numberPenalty = -4.5;
    // A compound is two words of at least this many letters, each among the list's first compoundPartPlaces.
    static constexpr qsizetype compoundPartLength = 3;
    static constexpr qsizetype compoundPartPlaces = 100000;

    // The score of a piece that is neither a word nor a number. Never part of a split; not to be summed.
    static constexpr qint32 notAPiece = std::numeric_limits<qint32>::min();

    // Nats to units, rounded to the nearest unit (halves away from zero).
    static constexpr qint32 units(double nats) { return qint32(nats * unitsPerNat + (nats < 0 ? -0.5 : 0.5)); }
    // The score of every number piece that is no word.
    static constexpr qint32 numberScore() { return units(pieceBonus + numberPenalty); }

    // Scores the dictionary's words, finding them through `index`, the search's index of the same words (one
    // of its own is built when none is given); the dictionary must outlive the scores.
    explicit WordScores(const WordDictionary& dictionary, std::shared_ptr<const WordTrie> index = nullptr);

    // Rebuilds the scores when the dictionary has changed since they were built, with the index of its words
    // as they are now from `index` (one of its own is built when none is given).
    void refresh(const std::function<std::shared_ptr<const WordTrie>()>& index = nullptr)
    {
        if (m_table->generation != m_dictionary->generation())
            rebuild(index ? index() : nullptr);
    }

    // The score of one piece of a candidate: a word of the dictionary (compared lower-cased) or a number; the
    // per-piece bonus included. `piece` is in the text's own letter case. notAPiece for anything else, the
    // empty piece included.
    qint32 pieceScore(QStringView piece) const;
    // The score of the dictionary's word at `place` in its order (WordDictionary::wordsInOrder()): what
    // pieceScore() gives for that word.
    qint32 wordScore(qsizetype place) const;

    // For the best guesses beyond the list (ExtraPieces.h): the same scores with what the dictionary's counts of
    // words in real names add (ExtraPieces::nameCountScore per ln(1 + count)) and, for a word that is also written
    // in capitals alone, ExtraPieces::wordCapitalsScore.
    qint32 guessPieceScore(QStringView piece) const;
    qint32 guessWordScore(qsizetype place) const;

    // The letters' symbols of the character trigrams: a-z in either case 0-25, any other character 26, and
    // 27 the edge of a word.
    static constexpr int otherSymbol = 26;
    static constexpr int edgeSymbol = 27;
    static constexpr int symbolCount = 28;
    static int symbolOf(char16_t unit)
    {
        const char16_t lower = unit | 0x20;
        return lower >= u'a' && lower <= u'z' ? int(lower - u'a') : otherSymbol;
    }
    // ln P(c | a b) over the letters of the dictionary's words, each word between edges (two before, one
    // after), add-one smoothed: how likely a stretch of text is as a word.
    double trigram(int a, int b, int c) const
    {
        return m_table->trigrams[std::size_t((a * symbolCount + b) * symbolCount + c)];
    }
    // The same times ExtraPieces::runTrigramScore, or unknownTrigramScore, in units: indexed as trigram() is.
    const qint16* runTrigramUnits() const { return m_table->runTrigramUnits.data(); }
    const qint16* unknownTrigramUnits() const { return m_table->unknownTrigramUnits.data(); }
    // A spelled run of letters a-z as a key: runKey(runKey(firstRunKey, a), b) for "ab".
    static constexpr quint64 firstRunKey = 1;
    static constexpr quint64 runKey(quint64 before, int symbol) { return (before << 5) | quint64(symbol); }
    // What the run `key` scores for its evidence in the dictionary's data: ExtraPieces::runCountScore per
    // ln(1 + its count in real names) and ExtraPieces::runCapitalsScore when it is written in capitals alone,
    // each rounded to units; 0 for a run of neither that begins one of them, and noRunEvidence when none begins
    // with it. Packed with whether a longer run with evidence begins with it: runScore() and runGoesOn() read it.
    static constexpr qint32 noRunEvidence = std::numeric_limits<qint32>::min();
    static constexpr qint32 runScore(qint32 evidence) { return evidence >> 1; }
    static constexpr bool runGoesOn(qint32 evidence) { return (evidence & 1) != 0; }
    qint32 runEvidence(quint64 key) const
    {
        if (key >= shortRunKeys)
            return longRunEvidence(key);
        const qint16 evidence = m_table->shortRunEvidence[shortRunIndex(key)];
        return evidence == noShortRun ? noRunEvidence : evidence;
    }

private:
    struct LongRun
    {
        quint64 key = 0;
        qint32 evidence = 0;
    };
    struct Table
    {
        quint64 generation = 0;
        std::vector<qint32> byPlace;      // every word's, in the dictionary's order
        std::vector<qint32> guessByPlace; // the same with the counts in real names
        std::vector<double> trigrams;     // symbolCount^3
        std::vector<qint16> runTrigramUnits;
        std::vector<qint16> unknownTrigramUnits;
        // The runs counted or written in capitals and the runs they begin, each with its evidence: by key those
        // below shortRunKeys (one to three letters), the longer ones by open addressing (a key of 0 is an empty
        // slot).
        std::vector<qint16> shortRunEvidence;
        std::vector<LongRun> longRuns;
    };

    // The keys of the runs of one to three letters are below this; their evidence is looked up by key.
    static constexpr quint64 shortRunKeys = quint64(1) << 16;
    // Where a short run's evidence lies: the keys of one or two letters are below 2^11, those of three letters
    // from 2^15 on, and none lies between.
    static constexpr std::size_t shortRunIndex(quint64 key)
    {
        return std::size_t(key < (quint64(1) << 15) ? key : key - (quint64(1) << 15) + (quint64(1) << 11));
    }
    static constexpr qint16 noShortRun = std::numeric_limits<qint16>::min();
    qint32 longRunEvidence(quint64 key) const;

    void countNames(Table& table, const WordTrie& trie) const;
    void addRunEvidence(Table& table, const WordTrie& trie) const;
    static qint32 lookUp(const std::vector<qint32>& byPlace, const WordTrie& index, QStringView piece);

    void rebuild(std::shared_ptr<const WordTrie> index);

    const WordDictionary* m_dictionary;
    std::shared_ptr<const WordTrie> m_index; // the words' places
    std::shared_ptr<const Table> m_table;
};

} // namespace quorvane
