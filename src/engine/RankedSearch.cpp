#include "RankedSearch.h"

#include "WordScores.h"

#include <algorithm>
#include <limits>

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

void RankedSearch::start(const PieceLattice& lattice, const PieceScore& pieceScore, qsizetype wanted)
{
    const qsizetype size = lattice.size();
    m_size = size;
    m_wanted = wanted;
    m_given = 0;
    m_queue.clear();
    m_taken.clear();
    m_path.clear();
    m_firstNew = 0;
    m_score = 0;
    m_emptyPending = size == 0;
    if (size == 0)
        return;

    m_firstEdge.resize(static_cast<std::size_t>(size + 1));
    m_edgeEnd.clear();
    m_edgeScore.clear();
    for (qsizetype place = 0; place < size; ++place) {
        m_firstEdge[static_cast<std::size_t>(place)] = static_cast<qint32>(m_edgeEnd.size());
        for (const qint32 end : lattice.endsFrom(place)) {
            m_edgeEnd.push_back(end);
            m_edgeScore.push_back(pieceScore(place, end));
        }
    }
    m_firstEdge[static_cast<std::size_t>(size)] = static_cast<qint32>(m_edgeEnd.size());

    // Backwards: the best rest from each place, and the shortest piece that starts one.
    m_best.assign(static_cast<std::size_t>(size + 1), noSplit);
    m_bestEdge.assign(static_cast<std::size_t>(size + 1), -1);
    m_best[static_cast<std::size_t>(size)] = 0;
    for (qsizetype place = size; place-- > 0;) {
        qint64 best = noSplit;
        qint32 bestEdge = -1;
        for (qint32 edge = m_firstEdge[static_cast<std::size_t>(place)];
             edge < m_firstEdge[static_cast<std::size_t>(place + 1)]; ++edge) {
            const qint64 rest = m_best[static_cast<std::size_t>(m_edgeEnd[static_cast<std::size_t>(edge)])];
            if (rest == noSplit)
                continue;
            const qint64 score = m_edgeScore[static_cast<std::size_t>(edge)] + rest;
            if (score > best) {
                best = score;
                bestEdge = edge;
            }
        }
        m_best[static_cast<std::size_t>(place)] = best;
        m_bestEdge[static_cast<std::size_t>(place)] = bestEdge;
    }
    if (m_bestEdge[0] >= 0)
        m_queue.push_back(Entry{m_best[0], -1, -1, -1});
}

void RankedSearch::materialize(const Entry& entry, std::vector<qint32>& edges) const
{
    // The turning points from the best split on, in ascending depth (each lies deeper than its parent's).
    m_chain.clear();
    for (const Entry* at = &entry; at->depth >= 0; at = &m_taken[static_cast<std::size_t>(at->parent)])
        m_chain.push_back(at);
    edges.clear();
    qsizetype place = 0;
    for (auto turn = m_chain.rbegin(); turn != m_chain.rend(); ++turn) {
        while (static_cast<qsizetype>(edges.size()) < (*turn)->depth) {
            const qint32 edge = m_bestEdge[static_cast<std::size_t>(place)];
            edges.push_back(edge);
            place = m_edgeEnd[static_cast<std::size_t>(edge)];
        }
        edges.push_back((*turn)->edge);
        place = m_edgeEnd[static_cast<std::size_t>((*turn)->edge)];
    }
    while (place < m_size) {
        const qint32 edge = m_bestEdge[static_cast<std::size_t>(place)];
        edges.push_back(edge);
        place = m_edgeEnd[static_cast<std::size_t>(edge)];
    }
}

bool RankedSearch::after(const Entry& a, const Entry& b) const
{
    if (a.score != b.score)
        return a.score < b.score;
    // Equal scores: search order, which is the order of the piece ends. Two different splits differ in some
    // piece; the first differing piece starts at the same place, so its end decides.
    materialize(a, m_left);
    materialize(b, m_right);
    const std::size_t common = std::min(m_left.size(), m_right.size());
    for (std::size_t k = 0; k < common; ++k) {
        if (m_left[k] != m_right[k])
            return m_edgeEnd[static_cast<std::size_t>(m_left[k])] > m_edgeEnd[static_cast<std::size_t>(m_right[k])];
    }
    return false; // the same split
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
    if (m_queue.size() < 2 * keep + 1024)
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
    std::pop_heap(m_queue.begin(), m_queue.end(), [this](const Entry& a, const Entry& b) { return after(a, b); });
    const Entry taken = m_queue.back();
    m_queue.pop_back();
    m_taken.push_back(taken);
    const auto takenIndex = static_cast<qint32>(m_taken.size() - 1);
    materialize(taken, m_pathEdges);

    // The pieces shared with the split given before.
    const qsizetype pieces = static_cast<qsizetype>(m_pathEdges.size());
    qsizetype same = 0;
    while (same < pieces && same < static_cast<qsizetype>(m_path.size()) &&
           m_path[static_cast<std::size_t>(same)] ==
               m_edgeEnd[static_cast<std::size_t>(m_pathEdges[static_cast<std::size_t>(same)])])
        ++same;
    m_firstNew = same;
    m_path.resize(static_cast<std::size_t>(pieces));
    for (qsizetype k = same; k < pieces; ++k)
        m_path[static_cast<std::size_t>(k)] =
            m_edgeEnd[static_cast<std::size_t>(m_pathEdges[static_cast<std::size_t>(k)])];
    m_score = taken.score;
    ++m_given;

    // The splits that follow this one up to some depth past its turning point and leave it there.
    if (m_wanted <= 0 || m_given < m_wanted + 1) {
        qint64 scoreSoFar = 0;
        qsizetype place = 0;
        for (qsizetype depth = 0; depth < pieces; ++depth) {
            const qint32 own = m_pathEdges[static_cast<std::size_t>(depth)];
            if (depth > taken.depth) {
                for (qint32 edge = m_firstEdge[static_cast<std::size_t>(place)];
                     edge < m_firstEdge[static_cast<std::size_t>(place + 1)]; ++edge) {
                    const qint64 rest = m_best[static_cast<std::size_t>(m_edgeEnd[static_cast<std::size_t>(edge)])];
                    if (edge == own || rest == noSplit)
                        continue;
                    push(Entry{scoreSoFar + m_edgeScore[static_cast<std::size_t>(edge)] + rest, takenIndex,
                               static_cast<qint32>(depth), edge});
                }
            }
            scoreSoFar += m_edgeScore[static_cast<std::size_t>(own)];
            place = m_edgeEnd[static_cast<std::size_t>(own)];
        }
        trim();
    }
    return true;
}

} // namespace quorvane
