#include "EventPump.h"

#include <QCoreApplication>

namespace quorvane {

TimeSlicedEventPump::TimeSlicedEventPump(int sliceMilliseconds) : m_slice(sliceMilliseconds)
{
    m_sinceLast.start();
}

void TimeSlicedEventPump::yield()
{
    if (m_sinceLast.elapsed() >= m_slice)
        yieldNow();
}

void TimeSlicedEventPump::yieldNow()
{
    QCoreApplication::processEvents();
    m_sinceLast.restart();
}

} // namespace quorvane
