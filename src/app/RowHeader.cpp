#include "RowHeader.h"

namespace quorvane {

RowHeader::RowHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

void RowHeader::setModel(QAbstractItemModel* newModel)
{
    if (m_rowsRemoved)
        disconnect(m_rowsRemoved);
    QHeaderView::setModel(newModel);
    if (!newModel)
        return;
    // Qt's own handling is taken over only where it can be found; otherwise it stays as it is.
    if (disconnect(newModel, SIGNAL(rowsRemoved(QModelIndex, int, int)), this,
                   SLOT(_q_sectionsRemoved(QModelIndex, int, int))))
        m_rowsRemoved = connect(newModel, &QAbstractItemModel::rowsRemoved, this, &RowHeader::rowsRemoved);
}

void RowHeader::rowsRemoved(const QModelIndex& parent, int first, int last)
{
    const int rows = model()->rowCount(rootIndex());
    if (parent != rootIndex() || rows <= 0 || hiddenSectionCount() > 0 || sectionsMoved()) {
        QMetaObject::invokeMethod(this, "_q_sectionsRemoved", Qt::DirectConnection, Q_ARG(QModelIndex, parent),
                                  Q_ARG(int, first), Q_ARG(int, last));
        return;
    }
    // Drops the sections past the model's last row, as many as were removed.
    initializeSections(0, rows - 1);
}

} // namespace quorvane
