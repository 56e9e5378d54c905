#pragma once

#include <QtGlobal>

#include <span>
#include <vector>

namespace quorvane {

// The pieces of one text that lead to its end: a place's piece ends.
class PieceLattice
{
public:
    // The length of the text.
    qsizetype size() const { return m_size; }

    // The ends of the pieces from `place` (0 <= place <= size()); empty when none leads to the text's end, and
    // at the end itself.
    std::span<const qint32> endsFrom(qsizetype place) const
    {
        if (place >= m_size)
            return {};
        const auto at = static_cast<std::size_t>(place);
        return {m_ends.data() + m_first[at], static_cast<std::size_t>(m_count[at])};
    }

    // Whether the rest of the text from `place` can be split: it is the end, or it has pieces. While the lattice
    // is built, only places already set are known.
    bool canSplitFrom(qsizetype place) const { return place == m_size || m_count[static_cast<std::size_t>(place)] > 0; }

    // Building, from the last place to the first: reset() for a text of `size` units, then setEnds() per place.
    void reset(qsizetype size)
    {
        m_size = size;
        m_ends.clear();
        m_first.assign(static_cast<std::size_t>(size), 0);
        m_count.assign(static_cast<std::size_t>(size), 0);
    }
    void setEnds(qsizetype place, std::span<const qint32> ends)
    {
        const auto at = static_cast<std::size_t>(place);
        m_first[at] = static_cast<qint32>(m_ends.size());
        m_count[at] = static_cast<qint32>(ends.size());
        m_ends.insert(m_ends.end(), ends.begin(), ends.end());
    }

private:
    qsizetype m_size = 0;
    // The ends from place i are m_ends[m_first[i] .. m_first[i] + m_count[i]).
    std::vector<qint32> m_ends;
    std::vector<qint32> m_first;
    std::vector<qint32> m_count;
};

} // namespace quorvane
