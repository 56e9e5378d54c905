#pragma once

#include "TextListRows.h"

#include <QAbstractItemModel>
#include <QString>

#include <optional>

namespace quorvane {

class EventPump;

// Reads a list view as the exports see it; rows and columns count from 0.
class ListViewReader
{
public:
    explicit ListViewReader(const QAbstractItemModel& model);

    int rowCount() const { return m_model.rowCount(); }
    int columnCount() const { return m_model.columnCount(); }
    QString caption(int column) const;
    // The text stays valid until the next call of text() or until the list changes.
    const QString& text(int row, int column) const;
    bool isChecked(int row) const;

    // The rows run by run (TextListRows), when the list is one of the window's own, which have one column;
    // empty for any other model, which is read cell by cell.
    std::optional<TextListRows> rowRuns(EventPump& pump) const;
    bool readsByRuns() const { return m_textList != nullptr; }

private:
    QModelIndex cell(int row, int column) const;

    const QAbstractItemModel& m_model;
    // The window's own lists are read straight from their vectors: a million rows without a QVariant each.
    const TextListModel* m_textList;
    mutable QString m_text;
};

} // namespace quorvane
