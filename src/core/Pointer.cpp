#include "Pointer.h"

namespace quorvane {

void PlainPointer::setShape(PointerShape shape)
{
    m_shape = shape;
    ++m_changes;
}

} // namespace quorvane
