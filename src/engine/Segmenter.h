#pragma once

#include "AsciiWordTrie.h"
#include "NumericPieces.h"
#include "PieceLattice.h"
#include "RowOutput.h"
#include "WordDictionary.h"
#include "WordTrie.h"
#include "core/ProcessorFeatures.h"
#include "text/Ascii.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quorvane {

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

    // Builds the index of the dictionary now, unless it is up to date; copies of the segmenter share it.
    void prepareIndex() { refreshIndex(); }

    // Hands every candidate of `text`, in order, to `sink`, at most `maxCandidates` of them (0: all).
    // Returns true when the text has further candidates that were not handed out (the list was cut).
    // Throws Failure for a text that is too long; the candidates handed out before stay handed out.
    bool splitIntoWords(QStringView text, const CandidateSink& sink, qsizetype maxCandidates = defaultMaxCandidates);

    // Appends the candidates to `candidates`, bounded by `maxCandidates` and maxKeptUnits; returns true
    // when cut. Throws Failure as above, leaving the candidates found before in the list.
    bool splitIntoWords(QStringView text, QStringList& candidates, qsizetype maxCandidates = defaultMaxCandidates);

    // The search itself, for callers that build their own text from the pieces. For every candidate in
    // order, `sink(ends, pieces, firstNew)` is called: piece k of the candidate is text[ends[k - 1], ends[k])
    // (the first starts at 0), and pieces below `firstNew` are those of the previous candidate, so a caller
    // that keeps what it built for each piece only redoes the rest. It returns false when it does not take
    // the candidate. Bound, result and failures are those of splitIntoWords.
    template <typename Sink> bool forEachSplit(QStringView text, qsizetype maxCandidates, Sink&& sink);

    // The pieces of `text` from which the rest can still be split, per place. Throws Failure for a text that
    // is too long.
    void findPieces(QStringView text, PieceLattice& lattice);

    // Whether writeShortAsciiRows() takes the text: ASCII, at most 64 characters, and the words' ASCII paths
    // fit in the double-array trie.
    bool takesShortAscii(QStringView text)
    {
        refreshIndex();
        return m_index->asciiTrieBuilt && text.size() <= qsizetype(maskBits) && ascii::isAscii(text);
    }
    // The candidates of such a text as rows of bytes, each `start`, the candidate without its leading blank,
    // and LF, written into `output` in order. Bound and result are those of splitIntoWords; `rows` is set to
    // the number of rows written.
    bool writeShortAsciiRows(QStringView text, QByteArrayView start, qsizetype maxCandidates, RowOutput& output,
                             qsizetype& rows);
    // The longest text that writeShortAsciiRows() takes.
    static constexpr std::size_t maxShortAscii = 64;

    // How writeShortAsciiRows() writes its rows; each gives the same bytes, and tests use every one.
    enum class RowWriter
    {
        Portable,   // whole blocks copied with any processor's instructions
        WideCopies, // whole blocks copied with 64-byte registers
        Expansion,  // each row made in registers from the text, spreading its bytes around the blanks
    };
    // Whether this processor has the instructions of the writer.
    static bool supports(RowWriter writer);
    // The best writer this processor has, used by default.
    static RowWriter bestRowWriter();
    // Uses `writer`, or the best one when the processor lacks it.
    void useRowWriter(RowWriter writer);
    // Whether the words of a short ASCII text may be found by walks side by side in 64-byte vectors, where
    // the processor has them (the default); tests turn it off to compare with the walks one by one.
    void allowWideWalks(bool allow);

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

    [[noreturn]] static void throwTooLong(qsizetype length);
    // Every text asks whether the dictionary changed: the question is answered inline.
    void refreshIndex()
    {
        if (!m_index || m_index->generation != m_dictionary.generation())
            rebuildIndex();
    }
    void rebuildIndex();
    // Lists, for every place, the ends of the pieces starting there from which the rest can be split.
    void markReachable(QStringView text);
    void findAsciiWordEnds(QStringView text);
    quint64 findShortAsciiPieces(QStringView text);

    // The index of the dictionary's words, never changed once built: copies of the segmenter (one per
    // thread) share it, and a changed dictionary gets a new one.
    struct Index
    {
        WordTrie trie;
        AsciiWordTrie asciiTrie;
        bool asciiTrieBuilt = false;
        quint64 generation = 0;
    };

    const WordDictionary& m_dictionary;
    std::shared_ptr<const Index> m_index;
    std::vector<qint32> m_digitRunEnds;
    std::vector<qint32> m_numberEnds; // scratch: the numeric ends from one place
    std::vector<qint32> m_mergedEnds; // scratch: those and the word ends, each once
    // Words of an ASCII text: per place, bit k set when the k + 1 characters from there are a word; words
    // longer than 64 characters as (place, end), sorted.
    std::vector<quint64> m_shortWordEnds;
    std::vector<std::pair<qint32, qint32>> m_longWordEnds;
    std::vector<quint8> m_fromStart;  // per place of an ASCII text: pieces from the start can reach it
    std::vector<qint32> m_walkStarts; // the walks still going and where each has got to
    std::vector<quint32> m_walkNodes;
    std::vector<quint8> m_reachable; // per place: the rest of the text from there can be split
    // An ASCII text of at most maskBits characters keeps, per place, the ends of the pieces from there from
    // which the rest can be split as one mask (bit k: the piece of k + 1 characters), instead of m_ends.
    static constexpr std::size_t maskBits = maxShortAscii;
    bool m_masked = false;
    std::array<quint64, maskBits> m_endMasks{};
    // Before: those of its words and numbers, as found by findShortAsciiPieces().
    std::array<quint64, maskBits> m_wordEndMasks{};
    std::array<quint64, maskBits> m_numberEndMasks{};
    // Per place, the ends of the pieces (words and numbers, each end once) starting there from which the
    // rest can be split, ascending: m_ends[m_firstEnd[i] .. m_firstEnd[i] + m_endCount[i]).
    std::vector<qint32> m_ends;
    std::vector<qint32> m_firstEnd;
    std::vector<qint32> m_endCount;
    // The search's path: per depth, the end of its piece and the next and last of its place's ends.
    std::vector<qint32> m_path;
    std::vector<qint32> m_next;
    std::vector<qint32> m_last;
    std::vector<char> m_rowBytes; // writeShortAsciiRows: the row being built
    RowWriter m_rowWriter = bestRowWriter();
    bool m_wideWalks = processor::hasWideVectors();
    std::vector<char16_t> m_candidate;
    std::vector<qsizetype> m_candidateLength; // per piece: the candidate's length up to its end
};

template <typename Sink> bool Segmenter::forEachSplit(QStringView text, qsizetype maxCandidates, Sink&& sink)
{
    const qsizetype size = text.size();
    if (size > maxTextLength)
        throwTooLong(size);
    if (size == 0)
        return !sink(static_cast<const qint32*>(nullptr), qsizetype(0), qsizetype(0));
    markReachable(text);

    bool cut = false;
    qsizetype found = 0;
    qint32* const path = m_path.data();
    if (m_masked) {
        // The same walk over the masks: per depth, the place and the ends from it not yet taken.
        std::array<quint64, maskBits + 1> rest;
        std::array<qint32, maskBits + 1> from;
        qsizetype depth = 0;
        qsizetype firstNew = 0;
        rest[0] = m_endMasks[0];
        from[0] = 0;
        for (;;) {
            if (rest[depth] == 0) {
                if (depth == 0)
                    break;
                --depth;
                continue;
            }
            const qint32 end = from[depth] + 1 + __builtin_ctzll(rest[depth]);
            rest[depth] &= rest[depth] - 1;
            path[depth] = end;
            firstNew = std::min(firstNew, depth);
            if (end < size) {
                ++depth;
                from[depth] = end;
                rest[depth] = m_endMasks[static_cast<std::size_t>(end)];
                continue;
            }
            if (maxCandidates > 0 && found == maxCandidates)
                return true;
            if (!sink(static_cast<const qint32*>(path), depth + 1, firstNew))
                return true;
            ++found;
            firstNew = depth + 1;
        }
        return false;
    }
    qint32* const next = m_next.data();
    qint32* const last = m_last.data();
    const qint32* const ends = m_ends.data();
    qsizetype depth = 0;
    qsizetype firstNew = 0;
    next[0] = m_firstEnd[0];
    last[0] = next[0] + m_endCount[0];
    for (;;) {
        if (next[depth] == last[depth]) {
            if (depth == 0)
                break;
            --depth;
            continue;
        }
        const qint32 end = ends[next[depth]++];
        path[depth] = end;
        firstNew = std::min(firstNew, depth);
        if (end < size) {
            ++depth;
            next[depth] = m_firstEnd[static_cast<std::size_t>(end)];
            last[depth] = next[depth] + m_endCount[static_cast<std::size_t>(end)];
            continue;
        }
        if (maxCandidates > 0 && found == maxCandidates) {
            cut = true;
            break;
        }
        if (!sink(static_cast<const qint32*>(path), depth + 1, firstNew)) {
            cut = true;
            break;
        }
        ++found;
        firstNew = depth + 1;
    }
    // At the longest length the 16-bit piece counter overflows when it reaches the whole text.
    if (size == maxTextLength && !cut)
        throwTooLong(size);
    return cut;
}

} // namespace quorvane
