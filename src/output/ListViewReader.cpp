#include "ListViewReader.h"

#include "core/Failure.h"
#include "model/TextListModel.h"

#include <algorithm>

namespace quorvane {

ListViewReader::ListViewReader(const QAbstractItemModel& model)
    : m_model(model), m_textList(qobject_cast<const TextListModel*>(&model))
{}

QString ListViewReader::caption(int column) const
{
    return m_model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QModelIndex ListViewReader::cell(int row, int column) const
{
    const QModelIndex index = m_model.index(row, column);
    if (!index.isValid())
        throw Failure(QStringLiteral("Index out of bounds"));
    return index;
}

const QString& ListViewReader::text(int row, int column) const
{
    if (m_textList && column == 0) {
        if (row < 0 || row >= m_textList->count())
            throw Failure(QStringLiteral("Index out of bounds"));
        // Copied into the one string this reader hands out: its buffer is reused from row to row.
        m_textList->copyText(row, m_text);
        return m_text;
    }
    m_text = m_model.data(cell(row, column), Qt::DisplayRole).toString();
    return m_text;
}

std::optional<TextListRows> ListViewReader::rowRuns(EventPump& pump) const
{
    if (!m_textList)
        return std::nullopt;
    return std::optional<TextListRows>(std::in_place, *m_textList, pump);
}

bool ListViewReader::isChecked(int row) const
{
    if (m_textList)
        return m_textList->isChecked(row);
    return m_model.data(cell(row, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
}

} // namespace quorvane
