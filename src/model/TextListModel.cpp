#include "TextListModel.h"

#include "core/Failure.h"

#include <algorithm>
#include <utility>

namespace quorvane {

QString TextListModel::shownText(QString text)
{
    if (text.size() <= maxShownLength)
        return text;
    // Laying out a text of millions of characters takes the view minutes on every repaint; nobody reads that
    // far along one row anyway.
    qsizetype kept = maxShownLength;
    if (text.at(kept - 1).isHighSurrogate())
        --kept;
    text.truncate(kept);
    return text + QChar(0x2026);
}

TextListModel::TextListModel(Marks marks, QObject* parent) : QAbstractItemModel(parent), m_marks(marks) {}

void TextListModel::setCaption(const QString& caption)
{
    m_caption = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void TextListModel::checkRow(int row) const
{
    if (row < 0 || row >= count())
        throw Failure(QStringLiteral("Index out of bounds"));
}

QString TextListModel::text(int row) const
{
    checkRow(row);
    return m_texts.text(row);
}

void TextListModel::copyText(int row, QString& out) const
{
    checkRow(row);
    m_texts.copyText(row, out);
}

QStringList TextListModel::texts() const
{
    QStringList result;
    result.reserve(count());
    for (qsizetype row = 0; row < m_texts.count(); ++row)
        result.append(m_texts.text(row));
    return result;
}

bool TextListModel::isChecked(int row) const
{
    checkRow(row);
    return m_marks == Marks::Checkable && (m_checked[static_cast<size_t>(row)] & checkedMark) != 0;
}

bool TextListModel::isFlagged(int row) const
{
    checkRow(row);
    return m_marks == Marks::Checkable && (m_checked[static_cast<size_t>(row)] & flagMark) != 0;
}

void TextListModel::setFlaggedData(int role, const QVariant& value)
{
    m_flaggedData[role] = value;
}

void TextListModel::setChecked(int row, bool checked)
{
    checkRow(row);
    if (m_marks != Marks::Checkable || isChecked(row) == checked)
        return;
    m_checked[static_cast<size_t>(row)] ^= checkedMark;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void TextListModel::append(const QString& text, bool checked)
{
    append(QStringList{text}, checked);
}

template <typename AddTexts>
void TextListModel::appendRows(qsizetype added, bool checked, AddTexts&& addTexts, const std::vector<bool>* flagged)
{
    if (added == 0)
        return;
    // Many rows into an empty list arrive as a reset: a view sets itself up for the whole list at once, in a
    // third of the time it takes to insert as many rows into its row header. An empty list has no selection
    // or current row that a reset could lose, and headers keep their sections' sizes.
    const bool reset = isEmpty() && added >= resetAppendRows;
    const int first = count();
    if (reset)
        beginResetModel();
    else
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(added) - 1);
    addTexts();
    if (m_marks == Marks::Checkable) {
        const size_t before = m_checked.size();
        m_checked.resize(before + static_cast<size_t>(added), checked ? checkedMark : 0);
        for (size_t k = 0; flagged && k < flagged->size() && k < size_t(added); ++k)
            m_checked[before + k] |= (*flagged)[k] ? flagMark : 0;
    }
    if (reset)
        endResetModel();
    else
        endInsertRows();
}

void TextListModel::append(const QStringList& texts, bool checked)
{
    appendRows(texts.size(), checked, [&] {
        qsizetype characters = 0;
        for (const QString& text : texts)
            characters += text.size();
        m_texts.reserve(texts.size(), characters);
        for (const QString& text : texts)
            m_texts.add(text);
    });
}

void TextListModel::append(const TextBlock& texts, bool checked)
{
    appendRows(texts.count(), checked, [&] { m_texts.add(texts); });
}

void TextListModel::append(TextBlock&& texts, bool checked, const std::vector<bool>& flagged)
{
    appendRows(
        texts.count(), checked, [&] { m_texts.add(std::move(texts)); }, &flagged);
}

void TextListModel::remove(int row)
{
    checkRow(row);
    removeRows(row, 1);
}

void TextListModel::removeRowSet(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    QList<std::pair<qsizetype, qsizetype>> runs; // {first, count}
    for (const int row : std::as_const(rows)) {
        if (row < 0 || row >= count())
            continue;
        if (!runs.isEmpty() && runs.back().first + runs.back().second >= row)
            runs.back().second = row + 1 - runs.back().first; // a neighbour or a repeat
        else
            runs.append({row, 1});
    }
    if (runs.isEmpty())
        return;
    if (runs.size() <= resetRemovalRuns) {
        // From the last run up, so that the rows of the runs before keep their numbers.
        for (auto run = runs.crbegin(); run != runs.crend(); ++run)
            removeRows(static_cast<int>(run->first), static_cast<int>(run->second));
        return;
    }
    beginResetModel();
    m_texts.removeRanges(runs);
    if (m_marks == Marks::Checkable) {
        // The marks that stay move up in the same single pass.
        size_t write = static_cast<size_t>(runs.front().first);
        size_t read = write;
        for (qsizetype run = 0; run < runs.size(); ++run) {
            read = static_cast<size_t>(runs[run].first + runs[run].second);
            const size_t end = run + 1 < runs.size() ? static_cast<size_t>(runs[run + 1].first) : m_checked.size();
            for (; read < end; ++read, ++write)
                m_checked[write] = m_checked[read];
        }
        m_checked.resize(write);
    }
    endResetModel();
}

void TextListModel::clear()
{
    if (isEmpty())
        return;
    // A reset is cheaper than a removal for the views when a million rows go at once.
    beginResetModel();
    m_texts.clear();
    m_checked.clear();
    endResetModel();
}

bool TextListModel::isRow(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && index.column() == 0 && index.row() >= 0 && index.row() < count();
}

QModelIndex TextListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || column != 0 || row < 0 || row >= count())
        return {};
    return createIndex(row, column);
}

QModelIndex TextListModel::parent(const QModelIndex& /*child*/) const
{
    return {};
}

int TextListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int TextListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant TextListModel::data(const QModelIndex& index, int role) const
{
    if (!isRow(index))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        // Only what can be shown is copied out of a long row.
        return shownText(m_texts.text(index.row(), maxShownLength + 1));
    case Qt::EditRole:
        return m_texts.text(index.row());
    case Qt::CheckStateRole:
        if (m_marks == Marks::Checkable)
            return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return isFlagged(index.row()) ? m_flaggedData.value(role) : QVariant();
    }
}

bool TextListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!isRow(index) || role != Qt::CheckStateRole || m_marks != Marks::Checkable)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TextListModel::flags(const QModelIndex& index) const
{
    if (!isRow(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_marks == Marks::Checkable)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant TextListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return m_caption;
    return {};
}

bool TextListModel::removeRows(int row, int rowCount, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || rowCount <= 0 || row + rowCount > count())
        return false;
    if (rowCount == count()) {
        // Every row: the views take a reset at once, where a removal of a million rows costs them far more.
        clear();
        return true;
    }
    beginRemoveRows(QModelIndex(), row, row + rowCount - 1);
    // The rows after the removed ones move up once, whatever their number.
    m_texts.remove(row, rowCount);
    if (m_marks == Marks::Checkable)
        m_checked.erase(m_checked.begin() + row, m_checked.begin() + row + rowCount);
    endRemoveRows();
    return true;
}

} // namespace quorvane
