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
    const std::vector<quint8>& marks = m_list.checkMarks();
    m_marks = marks.empty() ? nullptr : &marks;
    m_first = first;
    const qsizetype rows = std::max(end - first, 0);
    m_runEnds.resize(size_t(rows) + 1);
    m_runEnds[0] = rows > 0 ? block.startOf(first) : 0;
    for (qsizetype k = 0; k < rows; ++k)
        m_runEnds[size_t(k) + 1] = block.endOf(first + k);
    if (!block.isNarrow() && !block.hasGaps()) {
        m_characters = block.wideCharacters();
        return;
    }
    // A run of a list kept one byte per character, or with gaps left by removed rows, is read from a wide
    // copy of its own.
    const qsizetype start = m_runEnds[0];
    m_decoded.resize(m_runEnds.back() - start);
    block.copyCharacters(start, m_decoded.size(), m_decoded.data());
    for (qsizetype& at : m_runEnds)
        at -= start;
    m_characters = m_decoded.constData();
}

qsizetype TextListRows::longest(int first, int end) const
{
    qsizetype result = 0;
    for (int row = first; row < end; ++row)
        result = std::max(result, length(row));
    return result;
}

} // namespace quorvane
