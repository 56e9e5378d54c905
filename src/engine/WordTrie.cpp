#include "WordTrie.h"

#include <algorithm>

namespace quorvane {

quint32 WordTrie::childBySearch(quint32 first, quint32 last, char16_t unit) const
{
    const auto begin = m_edgeUnit.begin() + first;
    const auto end = m_edgeUnit.begin() + last;
    const auto found = std::lower_bound(begin, end, unit);
    if (found == end || *found != unit)
        return noNode;
    return m_edgeChild[static_cast<std::size_t>(found - m_edgeUnit.begin())];
}

void WordTrie::build(const QSet<QString>& words)
{
    std::vector<QStringView> sorted;
    sorted.reserve(static_cast<std::size_t>(words.size()));
    for (const QString& word : words)
        sorted.emplace_back(word);
    // Plain unit order, so that the children of every node are created in ascending unit order.
    std::sort(sorted.begin(), sorted.end(), [](QStringView a, QStringView b) {
        return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(), b.utf16(), b.utf16() + b.size());
    });

    // Nodes in creation order: one per distinct prefix.
    std::vector<quint32> parent{0};
    std::vector<char16_t> unit{0};
    std::vector<quint8> isWord{0};
    std::vector<quint32> path{root}; // path[d]: the node of the previous word's prefix of length d
    QStringView previous;
    for (const QStringView word : sorted) {
        qsizetype common = 0;
        while (common < word.size() && common < previous.size() && word[common] == previous[common])
            ++common;
        path.resize(static_cast<std::size_t>(common) + 1);
        for (qsizetype k = common; k < word.size(); ++k) {
            parent.push_back(path.back());
            unit.push_back(word[k].unicode());
            isWord.push_back(0);
            path.push_back(static_cast<quint32>(parent.size() - 1));
        }
        isWord[path.back()] = 1;
        previous = word;
    }
    isWord[root] = 0; // the empty piece is never tried

    const std::size_t nodes = parent.size();
    m_rootChildren.assign(0x10000, noNode);
    m_firstEdge.assign(nodes + 1, 0);
    for (std::size_t node = 1; node < nodes; ++node) {
        if (parent[node] != root)
            ++m_firstEdge[parent[node] + 1];
    }
    for (std::size_t node = 0; node < nodes; ++node)
        m_firstEdge[node + 1] += m_firstEdge[node];
    m_edgeUnit.assign(m_firstEdge[nodes], 0);
    m_edgeChild.assign(m_firstEdge[nodes], noNode);
    std::vector<quint32> filled(m_firstEdge.begin(), m_firstEdge.end() - 1);
    for (std::size_t node = 1; node < nodes; ++node) {
        if (parent[node] == root) {
            m_rootChildren[unit[node]] = static_cast<quint32>(node);
            continue;
        }
        const quint32 edge = filled[parent[node]]++;
        m_edgeUnit[edge] = unit[node];
        m_edgeChild[edge] = static_cast<quint32>(node);
    }
    m_isWord = std::move(isWord);
}

} // namespace quorvane
