#pragma once

#include "NumericPieces.h"
#include "PieceLattice.h"
#include "WordDictionary.h"
#include "WordTrie.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace quorvane {

// Every split of a text into words and numbers, in depth-first search order.
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

    // The pieces of `text` that lead to its end (PieceLattice.h), which the search above walks. Throws Failure for
    // a text longer than maxTextLength. At exactly that length the piece that is the whole text is left out: its
    // 16-bit piece counter would overflow (the search fails after its other candidates). With `keepDeadEnds`,
    // every piece of the list is kept, those from which the rest cannot be split too.
    void findPieces(QStringView text, PieceLattice& lattice, bool keepDeadEnds = false);

    // The index of the words the search reads, built for the dictionary's words as they are now: the one index
    // that the ranking reads too.
    std::shared_ptr<const WordTrie> wordIndex()
    {
        refreshIndex();
        return std::shared_ptr<const WordTrie>(m_index, &m_index->trie);
    }
    // The same index, without taking a share of it.
    const WordTrie& words()
    {
        refreshIndex();
        return m_index->trie;
    }

    // The failure of a text too long to split, as the search throws it.
    [[noreturn]] static void throwTooLong(qsizetype length);

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

    // Every text asks whether the dictionary changed: the question is answered inline.
    void refreshIndex()
    {
        if (!m_index || m_index->generation != m_dictionary.generation())
            rebuildIndex();
    }
    void rebuildIndex();

    // The index of the dictionary's words, shared by copies and never changed.
    struct Index
    {
        WordTrie trie;
        quint64 generation = 0;
    };

    const WordDictionary& m_dictionary;
    std::shared_ptr<const Index> m_index;
    PieceLattice m_lattice;
    // Scratch of findPieces(): the digit runs of the text, and the ends of the words and numbers from one place.
    std::vector<qint32> m_digitRunEnds;
    std::vector<qint32> m_wordEnds;
    std::vector<qint32> m_numberEnds;
    std::vector<qint32> m_pieceEnds;
    // The search's path: per depth, the end of its piece and the ends from its place not yet tried.
    std::vector<qint32> m_path;
    std::vector<std::span<const qint32>> m_untried;
    std::vector<char16_t> m_candidate;
    std::vector<qsizetype> m_candidateLength; // per piece: the candidate's length up to its end
};

// Depth first: the pieces from a place are tried in ascending length, each followed by every split of the rest.
template <typename Sink> bool Segmenter::forEachSplit(QStringView text, qsizetype maxCandidates, Sink&& sink)
{
    findPieces(text, m_lattice);
    const qsizetype size = text.size();
    if (size == 0)
        return !sink(static_cast<const qint32*>(nullptr), qsizetype(0), qsizetype(0));
    m_path.resize(static_cast<std::size_t>(size));
    m_untried.resize(static_cast<std::size_t>(size));
    qint32* const path = m_path.data();
    std::span<const qint32>* const untried = m_untried.data();
    bool cut = false;
    qsizetype found = 0;
    qsizetype depth = 0;
    qsizetype firstNew = 0;
    untried[0] = m_lattice.endsFrom(0);
    for (;;) {
        if (untried[depth].empty()) {
            if (depth == 0)
                break;
            --depth;
            continue;
        }
        const qint32 end = untried[depth].front();
        untried[depth] = untried[depth].subspan(1);
        path[depth] = end;
        firstNew = std::min(firstNew, depth);
        if (end < size) {
            ++depth;
            untried[depth] = m_lattice.endsFrom(end);
            continue;
        }
        if ((maxCandidates > 0 && found == maxCandidates) ||
            !sink(static_cast<const qint32*>(path), depth + 1, firstNew)) {
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
