#pragma once

#include "NumericPieces.h"
#include "WordTrie.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <vector>

namespace quorvane {

class WordDictionary;

// splitIntoWords: every way of writing a text as a sequence of pieces, each a word of the dictionary
// (compared lower-cased) or a number (NumericPieces.h). Candidates come in the order of the plain
// depth-first search that tries the first piece in ascending length, then the rest the same way; each
// candidate is one blank followed by the piece, per piece, in the text's own letter case, so the empty
// text has one candidate, the empty string.
//
// The cost follows the output, not the dead ends: the pieces starting at each place are found by a walk
// through a trie of the words and a scan of the numeric grammar, a backward pass marks the places from
// which the rest of the text can still be split, and the search only enters those.
class Segmenter final
{
public:
    // The window's bound on the candidates of one name; 0 stands for no bound.
    static constexpr qsizetype defaultMaxCandidates = 100000;
    // Longest text that can be split: lengths are 16-bit counters. A longer text fails before any piece;
    // a text of exactly this length fails once its shorter first pieces have been searched.
    static constexpr qsizetype maxTextLength = 32767;
    // The candidate list of one name never holds more text than this (in UTF-16 units): beyond it the
    // name counts as cut, however few its candidates, so that very long candidates cannot exhaust memory.
    static constexpr qsizetype maxKeptUnits = 64 * 1024 * 1024;

    // Called with each candidate in order; returns false when it does not take the candidate, which
    // stops the search as cut. The view is valid only during the call.
    using CandidateSink = std::function<bool(QStringView candidate)>;

    // The dictionary must outlive the segmenter. Its index is rebuilt when the dictionary has changed
    // since the last split (a word list switched in between takes effect from the next text on).
    explicit Segmenter(const WordDictionary& dictionary);

    // Hands every candidate of `text`, in order, to `sink`, at most `maxCandidates` of them (0: all).
    // Returns true when the text has further candidates that were not handed out (the list was cut).
    // Throws Failure for a text that is too long; the candidates handed out before stay handed out.
    bool splitIntoWords(QStringView text, const CandidateSink& sink, qsizetype maxCandidates = defaultMaxCandidates);

    // Appends the candidates to `candidates`, bounded by `maxCandidates` and maxKeptUnits; returns true
    // when cut. Throws Failure as above, leaving the candidates found before in the list.
    bool splitIntoWords(QStringView text, QStringList& candidates, qsizetype maxCandidates = defaultMaxCandidates);

private:
    // Finds, in ascending order, every end j for which text[start, j) lower-cased is a word.
    class WordEnds
    {
    public:
        WordEnds() = default;
        WordEnds(const WordTrie& trie, QStringView text, qsizetype start)
            : m_trie(&trie), m_text(text), m_position(start)
        {}
        qsizetype next();

    private:
        bool walk(QStringView lowered);

        const WordTrie* m_trie = nullptr;
        QStringView m_text;
        qsizetype m_position = 0;
        quint32 m_node = WordTrie::root;
        bool m_dead = false;
        bool m_pairPending = false; // a piece ending inside a surrogate pair was offered; the pair is next
    };

    // One place of the depth-first search and the pieces still to try from it.
    struct Frame
    {
        qsizetype start = 0;
        qsizetype prefixLength = 0; // length of the candidate built up to this place
        qsizetype wordIndex = 0;    // next of the place's word ends (m_wordEnds)
        qsizetype wordIndexEnd = 0;
        NumericScanner numbers;
        qsizetype nextNumberEnd = -1;
    };

    void refreshIndex();
    void markReachable(QStringView text);
    void enterFrame(std::size_t depth, QStringView text, qsizetype start, qsizetype prefixLength);
    qsizetype nextEnd(Frame& frame, qsizetype excludedEnd);

    const WordDictionary& m_dictionary;
    WordTrie m_trie;
    quint64 m_indexGeneration = 0;
    bool m_indexBuilt = false;
    std::vector<qint32> m_digitRunEnds;
    std::vector<quint8> m_reachable; // per place: the rest of the text from there can be split
    // Per place, the ends of the words starting there from which the rest can be split, ascending:
    // m_wordEnds[m_firstWordEnd[i] .. m_firstWordEnd[i] + m_wordEndCount[i]).
    std::vector<qint32> m_wordEnds;
    std::vector<qint32> m_firstWordEnd;
    std::vector<qint32> m_wordEndCount;
    std::vector<Frame> m_stack; // frames above the current depth are kept for reuse
    std::vector<char16_t> m_candidate;
};

} // namespace quorvane
