#pragma once

#include <QSet>
#include <QString>
#include <QStringView>

#include <array>
#include <vector>

namespace quorvane {

// The dictionary's words as a trie over their UTF-16 units.
class WordTrie
{
public:
    static constexpr quint32 noNode = 0;
    static constexpr quint32 root = 0;

    // Builds the trie of the words; each word's place is its index in the vector (the set's order otherwise).
    void build(const std::vector<QString>& words);
    void build(const QSet<QString>& words);

    // The node reached from `node` over `unit`, or noNode.
    quint32 child(quint32 node, char16_t unit) const
    {
        if (node == root)
            return m_rootChildren.empty() ? noNode : m_rootChildren[unit];
        return childOfInnerNode(node, unit);
    }

    // The same for a node that is not the root.
    quint32 childOfInnerNode(quint32 node, char16_t unit) const
    {
        const Edge& from = m_edges[node];
        if (from.kind == Kind::Scanned) {
            const quint32 first = from.children;
            const quint32 last = first + from.count;
            for (quint32 e = first; e < last; ++e) {
                if (m_units[e] >= unit)
                    return m_units[e] == unit ? e : noNode;
            }
            return noNode;
        }
        const LargeNode& large = m_largeNodes[from.children];
        if (unit < 0x80) {
            const quint32 offset = quint32(unit) - large.firstUnit;
            return offset < large.tableSpan ? m_tables[large.tableStart + offset] : noNode;
        }
        return otherChildOfLargeNode(large, unit);
    }

    // Calls `visit(unit, child)` for each child over a unit below 0x80, in ascending unit order.
    template <typename Visit> void forEachAsciiChild(quint32 node, Visit&& visit) const
    {
        if (node == root) {
            for (char16_t unit = 0; unit < 0x80; ++unit) {
                if (const quint32 next = child(root, unit); next != noNode)
                    visit(unit, next);
            }
            return;
        }
        const Edge& from = m_edges[node];
        if (from.kind == Kind::Scanned) {
            for (quint32 e = from.children; e < from.children + from.count && m_units[e] < 0x80; ++e)
                visit(m_units[e], e);
            return;
        }
        const LargeNode& large = m_largeNodes[from.children];
        for (quint32 offset = 0; offset < large.tableSpan; ++offset) {
            if (m_tables[large.tableStart + offset] != noNode)
                visit(static_cast<char16_t>(large.firstUnit + offset), m_tables[large.tableStart + offset]);
        }
    }

    // Whether the path to the node spells a word; false for the root and for noNode, without a branch.
    bool isWord(quint32 node) const { return m_edges[node].endsWord; }
    // The place of the node's word, or -1 when the path to it spells none.
    qint32 wordPlace(quint32 node) const { return m_places[node]; }
    // The place of a word given lower-cased, or -1 when it is no word of the trie.
    qint32 placeOf(QStringView lowerWord) const;

    // Node numbers are below this.
    std::size_t nodeLimit() const { return m_edges.size(); }

private:
    // Nodes with more children than this find an ASCII child through a table over the span of their ASCII
    // units, and any other child by binary search.
    static constexpr quint32 maxScannedChildren = 8;

    enum class Kind : quint8
    {
        Scanned, // `children` is the first edge, `count` the number of edges
        Large,   // `children` indexes m_largeNodes
    };

    struct Edge
    {
        quint32 children = 0;
        char16_t unit = 0;
        quint8 count = 0;
        bool endsWord : 1 = false;
        Kind kind : 1 = Kind::Scanned;
    };
    static_assert(sizeof(Edge) == 8);

    struct LargeNode
    {
        quint32 tableStart = 0; // in m_tables
        quint32 tableSpan = 0;
        quint32 firstUnit = 0;  // of the table
        quint32 otherFirst = 0; // the edges of units from 0x80 on
        quint32 otherCount = 0;
    };

    quint32 otherChildOfLargeNode(const LargeNode& large, char16_t unit) const;

    std::vector<quint32> m_rootChildren;              // indexed by unit: the root has many children
    std::vector<Edge> m_edges = std::vector<Edge>(1); // node n is m_edges[n]; m_edges[0], the root's, leads nowhere
    // The edges' units again, packed, so that the units of one node's edges lie in one cache line.
    std::vector<char16_t> m_units;
    std::vector<LargeNode> m_largeNodes;
    std::vector<quint32> m_tables;                             // child nodes by unit, noNode where there is none
    std::vector<qint32> m_places = std::vector<qint32>(1, -1); // per node, its word's place
};

} // namespace quorvane
