#include "WordTrie.h"

#include <algorithm>

namespace quorvane {

quint32 WordTrie::otherChildOfLargeNode(const LargeNode& large, char16_t unit) const
{
    const auto begin = m_edges.begin() + large.otherFirst;
    const auto end = begin + large.otherCount;
    const auto found = std::lower_bound(begin, end, unit, [](const Edge& edge, char16_t u) { return edge.unit < u; });
    return (found != end && found->unit == unit) ? static_cast<quint32>(found - m_edges.begin()) : noNode;
}

void WordTrie::build(const QSet<QString>& words)
{
    // Plain unit order, so that the children of every node are created in ascending unit order. The first
    // four units, packed into one number (missing ones as 0), decide most comparisons at once.
    struct Keyed
    {
        quint64 key;
        QStringView word;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(static_cast<std::size_t>(words.size()));
    for (const QString& word : words) {
        if (word.isEmpty()) // the empty piece is never tried
            continue;
        quint64 key = 0;
        for (qsizetype k = 0; k < 4; ++k)
            key = (key << 16) | (k < word.size() ? word[k].unicode() : 0u);
        keyed.push_back({key, word});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.key != b.key)
            return a.key < b.key;
        return std::lexicographical_compare(a.word.utf16(), a.word.utf16() + a.word.size(), b.word.utf16(),
                                            b.word.utf16() + b.word.size());
    });
    std::vector<QStringView> sorted;
    sorted.reserve(keyed.size());
    for (const Keyed& entry : keyed)
        sorted.push_back(entry.word);

    // Prefix nodes in creation order (0 is the root).
    std::vector<quint32> parent{0};
    std::vector<char16_t> unit{0};
    std::vector<bool> endsWord{false};
    std::vector<quint32> path{0}; // path[d]: the node of the previous word's prefix of length d
    QStringView previous;
    for (const QStringView word : sorted) {
        qsizetype common = 0;
        while (common < word.size() && common < previous.size() && word[common] == previous[common])
            ++common;
        path.resize(static_cast<std::size_t>(common) + 1);
        for (qsizetype k = common; k < word.size(); ++k) {
            parent.push_back(path.back());
            unit.push_back(word[k].unicode());
            endsWord.push_back(false);
            path.push_back(static_cast<quint32>(parent.size() - 1));
        }
        endsWord[path.back()] = true;
        previous = word;
    }

    // Edges grouped by the node they leave; within a group, creation order is ascending unit order.
    const std::size_t nodes = parent.size();
    std::vector<quint32> firstChild(nodes + 1, 0);
    for (std::size_t node = 1; node < nodes; ++node)
        ++firstChild[parent[node] + 1];
    for (std::size_t node = 0; node < nodes; ++node)
        firstChild[node + 1] += firstChild[node];
    std::vector<quint32> childInCreationOrder(nodes > 0 ? nodes - 1 : 0);
    {
        std::vector<quint32> filled(firstChild.begin(), firstChild.end() - 1);
        for (std::size_t node = 1; node < nodes; ++node)
            childInCreationOrder[filled[parent[node]]++] = static_cast<quint32>(node);
    }
    // Edges are numbered breadth first, so that the short prefixes every walk passes through lie together
    // in a small, hot part of the array; the edges of one node stay together, in ascending unit order.
    std::vector<quint32> slot(nodes, 0); // the edge of each node
    std::vector<quint32> queue{root};
    queue.reserve(nodes);
    quint32 nextSlot = 1; // edge 0 stands for the root
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const quint32 node = queue[head];
        for (quint32 child = firstChild[node]; child < firstChild[node + 1]; ++child) {
            const quint32 created = childInCreationOrder[child];
            slot[created] = nextSlot++;
            queue.push_back(created);
        }
    }
    m_edges.assign(nodes, Edge{});
    m_rootChildren.assign(0x10000, noNode);
    m_largeNodes.clear();
    m_tables.clear();
    for (std::size_t node = 1; node < nodes; ++node) {
        Edge& edge = m_edges[slot[node]];
        edge.unit = unit[node];
        edge.endsWord = endsWord[node];
        if (parent[node] == root)
            m_rootChildren[unit[node]] = slot[node];
    }
    m_units.assign(nodes + maxScannedChildren, 0);
    for (std::size_t e = 0; e < nodes; ++e)
        m_units[e] = m_edges[e].unit;
    for (std::size_t node = 1; node < nodes; ++node) {
        Edge& edge = m_edges[slot[node]];
        const quint32 count = firstChild[node + 1] - firstChild[node];
        const quint32 first = count > 0 ? slot[childInCreationOrder[firstChild[node]]] : 0;
        if (count <= maxScannedChildren) {
            edge.children = first;
            edge.count = static_cast<quint8>(count);
            continue;
        }
        quint32 ascii = first;
        while (ascii < first + count && m_edges[ascii].unit < 0x80)
            ++ascii;
        LargeNode large;
        large.tableStart = static_cast<quint32>(m_tables.size());
        if (ascii > first) {
            large.firstUnit = m_edges[first].unit;
            large.tableSpan = quint32(m_edges[ascii - 1].unit) - large.firstUnit + 1;
            m_tables.resize(m_tables.size() + large.tableSpan, noNode);
            for (quint32 e = first; e < ascii; ++e)
                m_tables[large.tableStart + m_edges[e].unit - large.firstUnit] = e;
        }
        large.otherFirst = ascii;
        large.otherCount = first + count - ascii;
        edge.kind = Kind::Large;
        edge.children = static_cast<quint32>(m_largeNodes.size());
        m_largeNodes.push_back(large);
    }
    for (char16_t ascii = 0; ascii < 128; ++ascii)
        m_asciiChildren[ascii] = m_rootChildren[ascii];
}

} // namespace quorvane
