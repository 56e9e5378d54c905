#pragma once

#include <QtGlobal>

#include <span>
#include <vector>

namespace quorvane {

// Stand-in until the segmenter's own lattice lands: per place of a text, the ends of the pieces (words and
// numbers, each end once) starting there from which the rest of the text can still be split, ascending.
class PieceLattice final
{
public:
    qsizetype size() const { return m_size; }
    std::span<const qint32> endsFrom(qsizetype place) const
    {
        if (place < 0 || place >= m_size)
            return {};
        const auto at = static_cast<std::size_t>(place);
        return std::span<const qint32>(m_ends.data() + m_first[at],
                                       static_cast<std::size_t>(m_first[at + 1] - m_first[at]));
    }

private:
    friend class Segmenter;
    qsizetype m_size = 0;
    std::vector<qint32> m_ends;
    std::vector<qint32> m_first; // size + 1 entries
};

} // namespace quorvane
