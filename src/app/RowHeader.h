#pragma once

#include <QHeaderView>

namespace quorvane {

// The row header of a long list whose rows all have one fixed height.
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
