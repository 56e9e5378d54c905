#include "EventPump.h"

#include <QCoreApplication>

#include <ctime>

namespace quorvane {

namespace {

// Yields come once per cell of large lists, so reading the clock must cost next to nothing: the coarse
// clock is read in a few nanoseconds, and its few milliseconds of resolution are ample for a time slice.
qint64 coarseMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

TimeSlicedEventPump::TimeSlicedEventPump(int sliceMilliseconds)
    : m_last(coarseMilliseconds()), m_slice(sliceMilliseconds)
{}

void TimeSlicedEventPump::yield()
{
    if (due())
        yieldNow();
}

bool TimeSlicedEventPump::due() const
{
    return coarseMilliseconds() - m_last >= m_slice;
}

void TimeSlicedEventPump::yieldNow()
{
    QCoreApplication::processEvents();
    m_last = coarseMilliseconds();
}

} // namespace quorvane
