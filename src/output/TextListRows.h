#pragma once

#include "model/TextListModel.h"

#include <QStringView>

#include <algorithm>
#include <vector>

namespace quorvane {

class EventPump;

// The rows of one of the window's own lists, read run by run.
class TextListRows
{
public:
    // Rows per run: a run takes microseconds, far less than a time slice of the event pump. A run ends at a
    // row number (counted from 1) that is a multiple of this, so that a run's last row is the one whose
    // number the export's progress caption shows.
    static constexpr int runLength = 1000;

    TextListRows(const TextListModel& list, EventPump& pump);

    // The row count when the reading began.
    int count() const { return m_count; }
    // The end of the run that starts at `first`.
    int runEnd(int first) const { return std::min(first + runLength, m_count); }

    // Yields, then makes rows first to end - 1 readable. Throws Failure ("Index out of bounds") when the list
    // no longer has them.
    void beginRun(int first, int end);

    // The reads below are valid for the rows of the current run, until the next yield. Where a row begins and
    // ends counts from a point of the run's own choosing: only their differences mean anything.
    qsizetype begin(int row) const { return m_runEnds[size_t(row - m_first)]; }
    qsizetype end(int row) const { return m_runEnds[size_t(row - m_first) + 1]; }
    qsizetype length(int row) const { return end(row) - begin(row); }
    QStringView text(int row) const { return QStringView(m_characters + begin(row), length(row)); }
    bool isChecked(int row) const
    {
        return m_marks && ((*m_marks)[static_cast<size_t>(row)] & TextListModel::checkedMark) != 0;
    }
    // The longest text of the rows first to end - 1.
    qsizetype longest(int first, int end) const;

private:
    const TextListModel& m_list;
    EventPump& m_pump;
    const int m_count;
    int m_first = 0;
    const QChar* m_characters = nullptr;
    std::vector<qsizetype> m_runEnds; // where each row of the run begins, then where the last one ends
    QString m_decoded;                // the run's rows as UTF-16, from a list kept one byte per character or with gaps
    const std::vector<quint8>* m_marks = nullptr; // null for a list without marks
};

} // namespace quorvane
