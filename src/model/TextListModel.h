#pragma once

#include "text/TextBlock.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace quorvane {

// The plain-vector list model behind the window's two lists; rows count from 0.
class TextListModel final : public QAbstractItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextListModel)

public:
    enum class Marks
    {
        None,
        Checkable,
    };

    // The display role shows at most this many characters of a row, then "…"; every other use of the rows
    // (the edit role, texts(), the exports) gets the whole text.
    static constexpr qsizetype maxShownLength = 2000;
    static QString shownText(QString text);
    // At least this many rows appended to an empty list reach the views as a reset, not as an insertion.
    static constexpr qsizetype resetAppendRows = 4096;
    // A removal of more separate runs of rows than this reaches the views as a reset: each run told apart
    // would cost the views a pass over the rows after it.
    static constexpr qsizetype resetRemovalRuns = 16;
    // The marks of a row.
    static constexpr quint8 checkedMark = 1;
    static constexpr quint8 flagMark = 2;

    explicit TextListModel(Marks marks = Marks::None, QObject* parent = nullptr);

    // The column's caption, shown in the header.
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    int count() const { return static_cast<int>(m_texts.count()); }
    bool isEmpty() const { return m_texts.isEmpty(); }
    // The text of a row; throws Failure when the row does not exist.
    QString text(int row) const;
    // The same into `out`, reusing its buffer.
    void copyText(int row, QString& out) const;
    QStringList texts() const;
    bool isChecked(int row) const;
    // A checkable list's rows may be flagged when appended; a flagged row gives the data set here for a role
    // (the window's colour for rows beyond the word list, say). The texts stay as they are.
    bool isFlagged(int row) const;
    void setFlaggedData(int role, const QVariant& value);
    // The rows as they are kept, and one byte of marks per row (none for a list without marks; checkedMark and
    // flagMark): for tight loops over many rows. Valid until the list changes.
    const TextBlock& textBlock() const { return m_texts; }
    const std::vector<quint8>& checkMarks() const { return m_checked; }
    void setChecked(int row, bool checked);

    void append(const QString& text, bool checked = false);
    // Appends every text as a row of its own in one insertion.
    void append(const QStringList& texts, bool checked = false);
    void append(const TextBlock& texts, bool checked = false);
    // The same, taking the block's buffers over when the list is empty; the rows whose place in `flagged` is
    // true are flagged.
    void append(TextBlock&& texts, bool checked = false, const std::vector<bool>& flagged = {});
    // Removes one row; throws Failure when the row does not exist.
    void remove(int row);
    // Removes every row given (in any order, repeats allowed) in one pass over the list: each run of
    // neighbouring rows is one removal for the views, and many scattered runs are one reset. Rows outside
    // the list are left out.
    void removeRowSet(QList<int> rows);
    void clear();

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    bool isRow(const QModelIndex& index) const;
    void checkRow(int row) const;
    template <typename AddTexts>
    void appendRows(qsizetype added, bool checked, AddTexts&& addTexts, const std::vector<bool>* flagged = nullptr);

    Marks m_marks;
    QString m_caption;
    TextBlock m_texts;
    // One byte of marks per row, empty for a list without marks: removing a row moves the marks after it in
    // one memmove, where a vector of bits moves them one bit at a time.
    std::vector<quint8> m_checked;
    QHash<int, QVariant> m_flaggedData;
};

} // namespace quorvane
