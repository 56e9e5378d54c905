#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QTableView;

namespace quorvane {

class Pointer;
class TextListModel;

// The window's mouse and key events that are commands of their own.
class WindowEventFilter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowEventFilter)

public:
    struct List
    {
        QTableView* view;
        TextListModel* model;
        std::function<bool()> refuses{}; // says why and returns true when the list must not change now
    };

    explicit WindowEventFilter(Pointer& pointer) : m_pointer(pointer) {}

    // Takes the events of a control.
    void watch(QObject* control) { control->installEventFilter(this); }
    // Takes the events of the window or a frame, over whose empty areas the pointer is the default one.
    void watchBackground(QObject* area)
    {
        watch(area);
        m_backgrounds.push_back(area);
    }
    void setLists(List domains, List results)
    {
        m_domains = domains;
        m_results = results;
    }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void removeSelectedEntry(const List& list);
    void pointerOverButton();
    void pointerOverBackground();

    Pointer& m_pointer;
    std::vector<QObject*> m_backgrounds;
    List m_domains{};
    List m_results{};
};

} // namespace quorvane
