#pragma once

#include <QSet>
#include <QString>

#include <vector>

namespace quorvane {

// The words of a dictionary as a trie over their UTF-16 units, so that every word starting at one place
// of a text is found in one walk. Nodes are numbers; 0 is the root and also stands for "no node", since
// the root is never a child. Edges are stored per node in ascending unit order.
class WordTrie
{
public:
    static constexpr quint32 noNode = 0;
    static constexpr quint32 root = 0;

    void build(const QSet<QString>& words);

    // The node reached from `node` over `unit`, or noNode.
    quint32 child(quint32 node, char16_t unit) const
    {
        if (node == root)
            return m_rootChildren.empty() ? noNode : m_rootChildren[unit];
        const quint32 first = m_firstEdge[node];
        const quint32 last = m_firstEdge[node + 1];
        if (last - first <= 8) {
            for (quint32 e = first; e < last; ++e) {
                if (m_edgeUnit[e] == unit)
                    return m_edgeChild[e];
                if (m_edgeUnit[e] > unit)
                    break;
            }
            return noNode;
        }
        return childBySearch(first, last, unit);
    }

    // Whether the path to the node spells a word.
    bool isWord(quint32 node) const { return m_isWord[node] != 0; }
    std::size_t nodeCount() const { return m_isWord.size(); }

private:
    quint32 childBySearch(quint32 first, quint32 last, char16_t unit) const;

    std::vector<quint32> m_rootChildren; // indexed by unit: the root has many children
    std::vector<quint32> m_firstEdge;    // per node, and one past the last
    std::vector<char16_t> m_edgeUnit;
    std::vector<quint32> m_edgeChild;
    std::vector<quint8> m_isWord;
};

} // namespace quorvane
