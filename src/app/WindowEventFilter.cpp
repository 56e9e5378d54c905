#include "WindowEventFilter.h"

#include "core/Pointer.h"
#include "model/TextListModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace quorvane {

void WindowEventFilter::removeSelectedEntry(const List& list)
{
    QTableView& view = *list.view;
    TextListModel& model = *list.model;
    if (m_pointer.isBusy() || model.isEmpty() || (list.refuses && list.refuses()))
        return;
    const QModelIndexList selected = view.selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    QList<int> rows;
    rows.reserve(selected.size());
    for (const QModelIndex& index : selected)
        rows.append(index.row());
    // Every selected row goes in one pass over the list, however many there are.
    model.removeRowSet(rows);
    // The entry that moved up takes the selection, so Delete can go on down the list.
    const QModelIndex next = view.currentIndex();
    if (next.isValid())
        view.selectionModel()->select(next, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void WindowEventFilter::pointerOverButton()
{
    if (!m_pointer.isBusy())
        m_pointer.setShape(PointerShape::Hand);
}

void WindowEventFilter::pointerOverBackground()
{
    if (!m_pointer.isBusy())
        m_pointer.setShape(PointerShape::Default);
}

bool WindowEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    const auto isList = [&](QTableView* view) {
        return watched == view || watched == view->viewport() || watched == view->horizontalHeader();
    };
    switch (event->type()) {
    case QEvent::MouseMove:
        if (qobject_cast<QPushButton*>(watched)) {
            pointerOverButton();
        } else if (isList(m_domains.view) || isList(m_results.view)) {
            pointerOverBackground();
        } else if (std::find(m_backgrounds.begin(), m_backgrounds.end(), watched) != m_backgrounds.end()) {
            // A move that a control passed on to its parent is not a move over the parent's background.
            const auto* area = static_cast<QWidget*>(watched);
            if (!area->childAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
                pointerOverBackground();
        }
        break;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            if (watched == m_domains.view) {
                removeSelectedEntry(m_domains);
                return true;
            }
            if (watched == m_results.view) {
                removeSelectedEntry(m_results);
                return true;
            }
        }
        break;
    case QEvent::MouseButtonDblClick:
        // Taken here, so that the view does not act on whatever row moved under the pointer.
        if (watched == m_domains.view->viewport()) {
            removeSelectedEntry(m_domains);
            return true;
        }
        if (watched == m_results.view->viewport()) {
            removeSelectedEntry(m_results);
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvane
