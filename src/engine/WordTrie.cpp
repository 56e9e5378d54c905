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
    build(std::vector<QString>(words.begin(), words.end()));
}

void WordTrie::build(const std::vector<QString>& words)
{
    // Plain unit order, so that the children of every node are created in ascending unit order. The first
    // eight units, packed into two numbers (missing ones as 0), decide most comparisons at once.
    struct Keyed
    {
        quint64 head;
        quint64 next;
        const char16_t* units;
        std::size_t size;
        qint32 place;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(static_cast<std::size_t>(words.size()));
    std::size_t totalUnits = 0;
    for (std::size_t place = 0; place < words.size(); ++place) {
        const QString& word = words[place];
        if (!word.isEmpty()) // the empty piece is never tried
            keyed.push_back(
                {0, 0, QStringView(word).utf16(), static_cast<std::size_t>(word.size()), static_cast<qint32>(place)});
        totalUnits += static_cast<std::size_t>(word.size());
    }
    // The words lie all over the heap: each is asked for well before its units are read.
    constexpr std::size_t readAhead = 16;
    for (std::size_t w = 0; w < keyed.size(); ++w) {
        if (w + readAhead < keyed.size())
            __builtin_prefetch(keyed[w + readAhead].units);
        Keyed& word = keyed[w];
        for (std::size_t k = 0; k < 4; ++k)
            word.head = (word.head << 16) | (k < word.size ? word.units[k] : 0u);
        for (std::size_t k = 4; k < 8; ++k)
            word.next = (word.next << 16) | (k < word.size ? word.units[k] : 0u);
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.head != b.head)
            return a.head < b.head;
        if (a.next != b.next)
            return a.next < b.next;
        // Equal in their first eight units, where a missing unit counts as 0: compared whole.
        return std::lexicographical_compare(a.units, a.units + a.size, b.units, b.units + b.size);
    });

    // Prefix nodes in creation order (0 is the root): the sorted words' prefixes in ascending order, so
    // that the nodes of one depth are created in the order a breadth-first numbering gives them.
    std::vector<char16_t> unit{0};
    std::vector<quint8> endsWord{0};
    std::vector<qint32> wordPlace{-1};
    std::vector<quint32> depth{0};
    std::vector<quint32> childCount{0};
    std::vector<quint32> firstChild{0}; // the first created, which has the lowest unit
    const std::size_t expectedNodes = totalUnits / 2 + 1;
    for (auto* list : {&depth, &childCount, &firstChild})
        list->reserve(expectedNodes);
    unit.reserve(expectedNodes);
    endsWord.reserve(expectedNodes);
    std::vector<quint32> path{0}; // path[d]: the node of the previous word's prefix of length d
    std::size_t deepest = 0;
    const Keyed* previous = nullptr;
    // The first eight units are read from the keys; a word's own units only beyond them.
    const auto unitAt = [](const Keyed& word, std::size_t k) -> char16_t {
        if (k < 4)
            return static_cast<char16_t>(word.head >> (48 - 16 * k));
        if (k < 8)
            return static_cast<char16_t>(word.next >> (48 - 16 * (k - 4)));
        return word.units[k];
    };
    for (std::size_t w = 0; w < keyed.size(); ++w) {
        const Keyed& word = keyed[w];
        if (w + readAhead < keyed.size() && keyed[w + readAhead].size > 8)
            __builtin_prefetch(keyed[w + readAhead].units + 8);
        std::size_t common = 0;
        if (previous) {
            const std::size_t shorter = std::min(word.size, previous->size);
            if (word.head != previous->head) {
                common = static_cast<std::size_t>(__builtin_clzll(word.head ^ previous->head)) / 16;
            } else if (word.next != previous->next) {
                common = 4 + static_cast<std::size_t>(__builtin_clzll(word.next ^ previous->next)) / 16;
            } else {
                common = 8;
                while (common < shorter && word.units[common] == previous->units[common])
                    ++common;
            }
            common = std::min(common, shorter); // a key's missing units count as 0
        }
        path.resize(common + 1);
        for (std::size_t k = common; k < word.size; ++k) {
            const quint32 parent = path.back();
            const auto node = static_cast<quint32>(unit.size());
            if (childCount[parent]++ == 0)
                firstChild[parent] = node;
            unit.push_back(unitAt(word, k));
            endsWord.push_back(0);
            wordPlace.push_back(-1);
            depth.push_back(static_cast<quint32>(k + 1));
            childCount.push_back(0);
            firstChild.push_back(0);
            path.push_back(node);
        }
        endsWord[path.back()] = 1;
        wordPlace[path.back()] = word.place;
        deepest = std::max<std::size_t>(deepest, word.size);
        previous = &word;
    }

    // Edges are numbered breadth first, so that the short prefixes every walk passes through lie together
    // in a small, hot part of the array; the edges of one node stay together, in ascending unit order. Within
    // one depth that is creation order, so each node's edge follows from the number of nodes less deep.
    const std::size_t nodes = unit.size();
    std::vector<quint32> levelStart(deepest + 2, 0);
    for (std::size_t node = 0; node < nodes; ++node)
        ++levelStart[depth[node] + 1];
    for (std::size_t level = 1; level < levelStart.size(); ++level)
        levelStart[level] += levelStart[level - 1];
    std::vector<quint32> slot(nodes, 0); // the edge of each node; edge 0 stands for the root
    for (std::size_t node = 0; node < nodes; ++node)
        slot[node] = levelStart[depth[node]]++;
    m_edges.assign(nodes, Edge{});
    m_places.assign(nodes, -1);
    m_rootChildren.assign(0x10000, noNode);
    m_largeNodes.clear();
    m_tables.clear();
    for (std::size_t node = 1; node < nodes; ++node) {
        Edge& edge = m_edges[slot[node]];
        edge.unit = unit[node];
        edge.endsWord = endsWord[node] != 0;
        m_places[slot[node]] = wordPlace[node];
        if (depth[node] == 1)
            m_rootChildren[unit[node]] = slot[node];
    }
    m_units.assign(nodes, 0);
    for (std::size_t e = 0; e < nodes; ++e)
        m_units[e] = m_edges[e].unit;
    for (std::size_t node = 1; node < nodes; ++node) {
        Edge& edge = m_edges[slot[node]];
        const quint32 count = childCount[node];
        const quint32 first = count > 0 ? slot[firstChild[node]] : 0;
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
}

qint32 WordTrie::placeOf(QStringView lowerWord) const
{
    if (lowerWord.isEmpty())
        return -1;
    quint32 node = root;
    for (const QChar unit : lowerWord) {
        node = child(node, unit.unicode());
        if (node == noNode)
            return -1;
    }
    return m_places[node];
}

} // namespace quorvane
