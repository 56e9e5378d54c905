#include "ListViewReader.h"

#include "core/Failure.h"

namespace quorvane {

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

QString ListViewReader::text(int row, int column) const
{
    return m_model.data(cell(row, column), Qt::DisplayRole).toString();
}

bool ListViewReader::isChecked(int row) const
{
    return m_model.data(cell(row, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
}

} // namespace quorvane
