#pragma once

#include <QHeaderView>

namespace quorvane {

// The row header of a long list whose rows all have the one default height: Fixed, never resized one by one.
// Qt's header answers a removal of rows with a pass over every row it has (a million calls asking whether a
// row is hidden). Rows all alike, removing any rows gives the same header as removing as many at the end,
// which costs nothing: that is done here while no row is hidden or moved, and Qt's own handling otherwise.
class RowHeader final : public QHeaderView
{
    Q_OBJECT

public:
    explicit RowHeader(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

private:
    void rowsRemoved(const QModelIndex& parent, int first, int last);

    QMetaObject::Connection m_rowsRemoved;
};

} // namespace quorvane
