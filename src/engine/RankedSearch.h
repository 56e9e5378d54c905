#pragma once

#include "PieceLattice.h"

#include <QStringView>
#include <QtGlobal>

#include <functional>
#include <span>
#include <vector>

namespace quorvane {

class WordScores;

// The splits of a text best first, equal scores in search order.
class RankedSearch final
{
public:
    // Scores the lattice's pieces of `text` and prepares the walk. `wanted` is how many splits will be asked
    // for at most (0: all): the queue keeps no more than can still be asked for, so memory follows it.
    void start(QStringView text, const PieceLattice& lattice, const WordScores& scores, qsizetype wanted);
    // The same with the score of each piece text[from, to) given by `pieceScore`.
    using PieceScore = std::function<qint64(qsizetype from, qsizetype to)>;
    void start(const PieceLattice& lattice, const PieceScore& pieceScore, qsizetype wanted);
    // The same with the pieces' scores given in the lattice's order: by place, then by end.
    void start(const PieceLattice& lattice, std::span<const qint64> pieceScores, qsizetype wanted);

    // The memory the walk may hold, in bytes: past it, next() throws std::bad_alloc, as running out of
    // memory would, with the splits taken before still valid. release() gives the memory back.
    static constexpr qsizetype defaultMemoryLimit = qsizetype(512) * 1024 * 1024;
    void setMemoryLimit(qsizetype bytes) { m_memoryLimit = bytes; }
    void release();
    // The bytes held for the answers given and the queue.
    qsizetype heldBytes() const;

    // Takes the next best split; false when there is none left.
    bool next();
    // Whether a further split exists beyond those taken (answered exactly even after `wanted` were taken).
    bool hasMore() const { return !m_queue.empty(); }

    // The split taken last: piece k is text[ends[k - 1], ends[k]), the first starting at 0.
    std::span<const qint32> ends() const { return m_path; }
    // Its pieces below this are those of the split taken before it.
    qsizetype firstNew() const { return m_firstNew; }
    // Its score, in WordScores units.
    qint64 score() const { return m_score; }

private:
    // A split in the queue: answer `parent` up to `depth`, then piece `edge`.
    struct Entry
    {
        qint64 score = 0;
        qint32 parent = -1;
        qint32 depth = -1;
        qint32 edge = -1; // the piece taken at `depth`
        qint32 rank = 0;  // its place among the pieces from there, in m_ordered
        qint32 level = 0; // the number of answers it derives from
    };

    // The pieces of the entry's split, in order.
    void materialize(const Entry& entry, std::vector<qint32>& edges);
    // Whether `a` comes after `b`: lower score, or the same score and later in search order.
    bool after(const Entry& a, const Entry& b) const;
    void push(const Entry& entry);
    void trim();

    // Makes room for `more` entries in the queue before this step's pushes, and for one more answer; throws
    // std::bad_alloc when a growth would take the memory held past the limit, counting the old room that is
    // still held while the new one is filled.
    void reserveStep(qsizetype more);

    qsizetype m_memoryLimit = defaultMemoryLimit;
    qsizetype m_size = 0;
    qsizetype m_wanted = 0;
    qsizetype m_given = 0;
    // The lattice's pieces: those from place i are m_firstEdge[i] .. m_firstEdge[i + 1], each with its
    // place, end and score; m_ordered lists them per place by the best split they begin, those that begin
    // none left out (m_usable per place).
    std::vector<qint32> m_firstEdge;
    std::vector<qint32> m_edgeFrom;
    std::vector<qint32> m_edgeEnd;
    std::vector<qint64> m_edgeScore;
    std::vector<qint32> m_ordered;
    std::vector<qint32> m_usable;
    std::vector<qint64> m_best; // per place: the best score of a split of the rest
    std::vector<Entry> m_queue; // a heap, best on top
    std::vector<Entry> m_taken; // the answers given, as they were in the queue
    // Per answer given, the answers it derives from 1, 2, 4, ... levels up (-1 past the first): m_jumps[i *
    // jumpCount + k] for answer i and 2^k levels.
    static constexpr int jumpCount = 16;
    std::vector<qint32> m_jumps;
    // The answer `levels` levels above answer `taken` (which is that answer itself for 0).
    qint32 ancestor(qint32 taken, qint32 levels) const;
    std::vector<const Entry*> m_chain;
    std::vector<qint32> m_path;
    std::vector<qint32> m_pathEdges;
    qsizetype m_firstNew = 0;
    qint64 m_score = 0;
    bool m_emptyPending = false; // the empty text's one split, not yet taken
};

} // namespace quorvane
