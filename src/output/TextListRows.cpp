#include "TextListRows.h"

#include "core/EventPump.h"
#include "core/Failure.h"

#include <algorithm>

namespace quorvane {

TextListRows::TextListRows(const TextListModel& list, EventPump& pump)
    : m_list(list), m_pump(pump), m_count(list.count())
{}

void TextListRows::beginRun(int first, int end)
{
    m_pump.yield();
    if (first < 0 || end > m_list.count())
        throw Failure(QStringLiteral("Index out of bounds"));
    // Taken afresh: the buffers move when the list grows during a yield.
    const TextBlock& block = m_list.textBlock();
    m_characters = block.characters();
    m_ends = block.ends();
    const std::vector<bool>& marks = m_list.checkMarks();
    m_marks = marks.empty() ? nullptr : &marks;
}

qsizetype TextListRows::longest(int first, int end) const
{
    qsizetype result = 0;
    qsizetype previous = begin(first);
    for (int row = first; row < end; ++row) {
        result = std::max(result, m_ends[row] - previous);
        previous = m_ends[row];
    }
    return result;
}

} // namespace quorvane
