#include "RankedSearch.h"

#include "WordScores.h"

#include <algorithm>
#include <limits>
#include <new>

namespace quorvane {

namespace {

// The best score of a place from which the rest cannot be split.
constexpr qint64 noSplit = std::numeric_limits<qint64>::min();

} // namespace

void RankedSearch::start(QStringView text, const PieceLattice& lattice, const WordScores& scores, qsizetype wanted)
{
    start(
        lattice, [&](qsizetype from, qsizetype to) { return qint64(scores.pieceScore(text.mid(from, to - from))); },
        wanted);
}

void RankedSearch::start(const PieceLattice& lattice, std::span<const qint64> pieceScores, qsizetype wanted)
{
    // The pieces are scored in the lattice's order, one call each.
    std::size_t next = 0;
    start(
        lattice, [&](qsizetype, qsizetype) { return pieceScores[next++]; }, wanted);
}

qsizetype RankedSearch::heldBytes() const
{
    return static_cast<qsizetype>((m_taken.capacity() + m_queue.capacity()) * sizeof(Entry) +
                                  m_jumps.capacity() * sizeof(qint32));
}

void RankedSearch::reserveStep(qsizetype more)
{
    const auto grow = [this](auto& vector, std::size_t needed) {
        if (needed <= vector.capacity())
            return;
        const std::size_t room = std::max(needed, 2 * vector.capacity());
        const auto bytes = static_cast<qsizetype>(room * sizeof(vector[0]));
        if (bytes > m_memoryLimit - heldBytes())
            throw std::bad_alloc();
        vector.reserve(room);
    };
    grow(m_queue, m_queue.size() + static_cast<std::size_t>(more));
    grow(m_taken, m_taken.size() + 1);
    grow(m_jumps, m_jumps.size() + jumpCount);
}

void RankedSearch::release()
{
    // Swapped with empty ones: clearing would keep the capacity.
    std::vector<Entry>().swap(m_queue);
    std::vector<Entry>().swap(m_taken);
    std::vector<qint32>().swap(m_jumps);
    m_emptyPending = false;
}

void RankedSearch::start(const PieceLattice& lattice, const PieceScore& pieceScore, qsizetype wanted)
{
    const qsizetype size = lattice.size();
    m_size = size;
    m_wanted = wanted;
    m_given = 0;
    m_queue.clear();
    m_taken.clear();
    m_jumps.clear();
    m_path.clear();
    m_firstNew = 0;
    m_score = 0;
    m_emptyPending = size == 0;
    if (size == 0)
        return;

    const auto places = static_cast<std::size_t>(size);
    m_firstEdge.resize(places + 1);
    m_edgeFrom.clear();
    m_edgeEnd.clear();
    m_edgeScore.clear();
    for (qsizetype place = 0; place < size; ++place) {
        m_firstEdge[static_cast<std::size_t>(place)] = static_cast<qint32>(m_edgeEnd.size());
        for (const qint32 end : lattice.endsFrom(place)) {
            m_edgeFrom.push_back(static_cast<qint32>(place));
            m_edgeEnd.push_back(end);
            m_edgeScore.push_back(pieceScore(place, end));
        }
    }
    m_firstEdge[places] = static_cast<qint32>(m_edgeEnd.size());

    // Backwards: the best rest from each place, and its pieces ordered by the best split they begin.
    m_best.assign(places + 1, noSplit);
    m_best[places] = 0;
    m_ordered.resize(m_edgeEnd.size());
    m_usable.assign(places, 0);
    for (qsizetype place = size; place-- > 0;) {
        const auto at = static_cast<std::size_t>(place);
        const auto first = m_ordered.begin() + m_firstEdge[at];
        auto last = first;
        for (qint32 edge = m_firstEdge[at]; edge < m_firstEdge[at + 1]; ++edge) {
            if (m_best[static_cast<std::size_t>(m_edgeEnd[static_cast<std::size_t>(edge)])] != noSplit)
                *last++ = edge;
        }
        const auto key = [this](qint32 edge) {
            const auto e = static_cast<std::size_t>(edge);
            return m_edgeScore[e] + m_best[static_cast<std::size_t>(m_edgeEnd[e])];
        };
        // Ascending ends already: a stable sort by score keeps the shorter first among equals. A place has few
        // pieces, so insertion sort, which needs no room of its own.
        for (auto next = first + 1; next < last; ++next) {
            const qint32 edge = *next;
            const qint64 edgeKey = key(edge);
            auto to = next;
            for (; to != first && key(*(to - 1)) < edgeKey; --to)
                *to = *(to - 1);
            *to = edge;
        }
        m_usable[at] = static_cast<qint32>(last - first);
        if (last != first)
            m_best[at] = key(*first);
    }
    if (m_usable[0] == 0)
        return;
    m_queue.push_back(Entry{m_best[0], -1, -1, -1, 0, 0});
}

void RankedSearch::materialize(const Entry& entry, std::vector<qint32>& edges)
{
    // The turning points from the best split on, in ascending depth (each lies deeper than its parent's).
    m_chain.clear();
    for (const Entry* at = &entry; at->depth >= 0; at = &m_taken[static_cast<std::size_t>(at->parent)])
        m_chain.push_back(at);
    edges.clear();
    qsizetype place = 0;
    const auto follow = [&] {
        const qint32 edge = m_ordered[static_cast<std::size_t>(m_firstEdge[static_cast<std::size_t>(place)])];
        edges.push_back(edge);
        place = m_edgeEnd[static_cast<std::size_t>(edge)];
    };
    for (auto turn = m_chain.rbegin(); turn != m_chain.rend(); ++turn) {
        while (static_cast<qsizetype>(edges.size()) < (*turn)->depth)
            follow();
        edges.push_back((*turn)->edge);
        place = m_edgeEnd[static_cast<std::size_t>((*turn)->edge)];
    }
    while (place < m_size)
        follow();
}

qint32 RankedSearch::ancestor(qint32 taken, qint32 levels) const
{
    while (levels > 0) {
        const int jump = std::min(31 - __builtin_clz(static_cast<quint32>(levels)), jumpCount - 1);
        taken = m_jumps[static_cast<std::size_t>(taken) * jumpCount + static_cast<std::size_t>(jump)];
        levels -= qint32(1) << jump;
    }
    return taken;
}

bool RankedSearch::after(const Entry& a, const Entry& b) const
{
    if (a.score != b.score)
        return a.score < b.score;
    // Equal scores: search order. Below the answer both derive from last, they leave its path at their
    // turning points; before the first of those they are that path, so the first difference is there. That
    // answer is found by jumps up the answers each derives from, in steps of powers of two.
    const Entry* x = &a;
    const Entry* y = &b;
    if (x->level > y->level)
        x = &m_taken[static_cast<std::size_t>(ancestor(x->parent, x->level - y->level - 1))];
    else if (y->level > x->level)
        y = &m_taken[static_cast<std::size_t>(ancestor(y->parent, y->level - x->level - 1))];
    if (x->parent != y->parent) {
        qint32 px = x->parent;
        qint32 py = y->parent;
        for (int jump = jumpCount - 1; jump >= 0; --jump) {
            const auto at = static_cast<std::size_t>(jump);
            const qint32 upX = m_jumps[static_cast<std::size_t>(px) * jumpCount + at];
            const qint32 upY = m_jumps[static_cast<std::size_t>(py) * jumpCount + at];
            if (upX != upY) {
                px = upX;
                py = upY;
            }
        }
        // Deeper than the jumps reach: the rest one answer at a time.
        while (m_taken[static_cast<std::size_t>(px)].parent != m_taken[static_cast<std::size_t>(py)].parent) {
            px = m_taken[static_cast<std::size_t>(px)].parent;
            py = m_taken[static_cast<std::size_t>(py)].parent;
        }
        x = &m_taken[static_cast<std::size_t>(px)];
        y = &m_taken[static_cast<std::size_t>(py)];
    }
    if (x == y)
        return false; // the same split
    const auto endOf = [this](qint32 edge) { return m_edgeEnd[static_cast<std::size_t>(edge)]; };
    // Past its own turning point the common answer takes the first piece of each place.
    const auto firstFrom = [this](qint32 edge) {
        const auto place = static_cast<std::size_t>(m_edgeFrom[static_cast<std::size_t>(edge)]);
        return m_ordered[static_cast<std::size_t>(m_firstEdge[place])];
    };
    if (x->depth == y->depth)
        return endOf(x->edge) > endOf(y->edge);
    if (x->depth < y->depth)
        return endOf(x->edge) > endOf(firstFrom(x->edge));
    return endOf(firstFrom(y->edge)) > endOf(y->edge);
}

void RankedSearch::push(const Entry& entry)
{
    m_queue.push_back(entry);
    std::push_heap(m_queue.begin(), m_queue.end(), [this](const Entry& a, const Entry& b) { return after(a, b); });
}

// Keeps only the splits that can still be asked for, and one more so that hasMore() stays exact: the
// splits derived from a dropped one come after it, so none of them would be asked for either.
void RankedSearch::trim()
{
    if (m_wanted <= 0)
        return;
    const auto keep = static_cast<std::size_t>(std::max<qsizetype>(m_wanted - m_given, 0) + 1);
    if (m_queue.size() < 1024 || (m_queue.size() - 1024) / 2 < keep) // keep may be near the largest count
        return;
    const auto before = [this](const Entry& a, const Entry& b) { return after(b, a); };
    std::nth_element(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(keep), m_queue.end(), before);
    m_queue.resize(keep);
    std::make_heap(m_queue.begin(), m_queue.end(), [this](const Entry& a, const Entry& b) { return after(a, b); });
}

bool RankedSearch::next()
{
    if (m_emptyPending) {
        m_emptyPending = false;
        m_path.clear();
        m_firstNew = 0;
        m_score = 0;
        ++m_given;
        return true;
    }
    if (m_queue.empty())
        return false;
    // At most one push per piece of the taken split and one more; the pieces are at most the text's length.
    reserveStep(m_size + 1);
    std::pop_heap(m_queue.begin(), m_queue.end(), [this](const Entry& a, const Entry& b) { return after(a, b); });
    const Entry taken = m_queue.back();
    m_queue.pop_back();
    m_taken.push_back(taken);
    const auto takenIndex = static_cast<qint32>(m_taken.size() - 1);
    // Its jumps: the answer it derives from, that one's, and so on by powers of two (-1 past the first).
    for (int jump = 0; jump < jumpCount; ++jump) {
        const qint32 below = jump == 0 ? taken.parent : m_jumps[m_jumps.size() - 1];
        m_jumps.push_back(
            below < 0 || jump == 0
                ? below
                : m_jumps[static_cast<std::size_t>(below) * jumpCount + static_cast<std::size_t>(jump - 1)]);
    }
    materialize(taken, m_pathEdges);

    // The pieces shared with the split given before.
    const auto pieces = static_cast<qsizetype>(m_pathEdges.size());
    const auto endAt = [this](qsizetype k) {
        return m_edgeEnd[static_cast<std::size_t>(m_pathEdges[static_cast<std::size_t>(k)])];
    };
    qsizetype same = 0;
    while (same < pieces && same < static_cast<qsizetype>(m_path.size()) &&
           m_path[static_cast<std::size_t>(same)] == endAt(same))
        ++same;
    m_firstNew = same;
    m_path.resize(static_cast<std::size_t>(pieces));
    for (qsizetype k = same; k < pieces; ++k)
        m_path[static_cast<std::size_t>(k)] = endAt(k);
    m_score = taken.score;
    ++m_given;

    // Once past what can be asked for, one more split is enough to tell whether more exist.
    if (m_wanted > 0 && m_given > m_wanted)
        return true;
    const auto keyOf = [this](qint32 edge) {
        const auto e = static_cast<std::size_t>(edge);
        return m_edgeScore[e] + m_best[static_cast<std::size_t>(m_edgeEnd[e])];
    };
    // The split that takes the next piece at this one's turning point.
    if (taken.depth >= 0) {
        const auto place = static_cast<std::size_t>(m_edgeFrom[static_cast<std::size_t>(taken.edge)]);
        if (taken.rank + 1 < m_usable[place]) {
            const qint32 edge = m_ordered[static_cast<std::size_t>(m_firstEdge[place] + taken.rank + 1)];
            push(Entry{taken.score - keyOf(taken.edge) + keyOf(edge), taken.parent, taken.depth, edge, taken.rank + 1,
                       taken.level});
        }
    }
    // Per depth past the turning point, the split that leaves this one there by the next best piece.
    qint64 scoreSoFar = 0;
    qsizetype place = 0;
    for (qsizetype depth = 0; depth < pieces; ++depth) {
        const qint32 own = m_pathEdges[static_cast<std::size_t>(depth)];
        if (depth > taken.depth && m_usable[static_cast<std::size_t>(place)] > 1) {
            const qint32 edge = m_ordered[static_cast<std::size_t>(m_firstEdge[static_cast<std::size_t>(place)] + 1)];
            push(Entry{scoreSoFar + keyOf(edge), takenIndex, static_cast<qint32>(depth), edge, 1, taken.level + 1});
        }
        scoreSoFar += m_edgeScore[static_cast<std::size_t>(own)];
        place = m_edgeEnd[static_cast<std::size_t>(own)];
    }
    trim();
    return true;
}

} // namespace quorvane
