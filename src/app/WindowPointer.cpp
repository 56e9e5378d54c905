#include "WindowPointer.h"

namespace quorvane {

void WindowPointer::setShape(PointerShape shape)
{
    // A run sets the busy pointer once per entry: only a change reaches the window system.
    if (shape == m_shape)
        return;
    m_shape = shape;
    if (!m_window)
        return;
    switch (shape) {
    case PointerShape::Default:
        m_window->setCursor(Qt::ArrowCursor);
        break;
    case PointerShape::Busy:
        m_window->setCursor(Qt::WaitCursor);
        break;
    case PointerShape::Hand:
        m_window->setCursor(m_hand.value_or(QCursor(Qt::ArrowCursor)));
        break;
    }
}

} // namespace quorvane
