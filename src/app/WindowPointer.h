#pragma once

#include "core/Pointer.h"

#include <QCursor>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace quorvane {

// The window's mouse pointer: arrow, busy cursor or the loaded hand.
class WindowPointer final : public Pointer
{
public:
    explicit WindowPointer(QWidget& window) : m_window(&window) {}

    PointerShape shape() const override { return m_shape; }
    void setShape(PointerShape shape) override;

    void setHandCursor(const QCursor& cursor) { m_hand = cursor; }
    bool hasHandCursor() const { return m_hand.has_value(); }

private:
    QPointer<QWidget> m_window;
    std::optional<QCursor> m_hand;
    PointerShape m_shape = PointerShape::Default;
};

} // namespace quorvane
