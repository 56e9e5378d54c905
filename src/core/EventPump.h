#pragma once

#include <QtGlobal>

#include <functional>
#include <utility>

namespace quorvane {

// The "yield to the event queue" of long loops.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void yield() = 0;
    // Whether the next yield lets the window take its events: work kept back to be shown in bulk (rows not
    // yet in a list) must be shown before it.
    virtual bool due() const { return true; }
    // While a command waits for other threads: lets the window take its events now, whatever a time slice
    // says. Not a yield of the command's own steps.
    virtual void waitIdle() {}
};

// Thrown by a StoppingEventPump's yield once the program is ending.
struct CommandStopped
{};

// Passes yields on to another pump and throws CommandStopped after one once `stopping()` holds.
class StoppingEventPump final : public EventPump
{
public:
    StoppingEventPump(EventPump& pump, std::function<bool()> stopping) : m_pump(pump), m_stopping(std::move(stopping))
    {}
    void yield() override
    {
        m_pump.yield();
        if (m_stopping())
            throw CommandStopped{};
    }
    bool due() const override { return m_pump.due(); }
    void waitIdle() override { m_pump.waitIdle(); }

private:
    EventPump& m_pump;
    std::function<bool()> m_stopping;
};

// Does nothing: for the batch splitter, which has no window.
class NoEventPump final : public EventPump
{
public:
    void yield() override {}
};

// Processes pending events at most once per time slice.
class TimeSlicedEventPump final : public EventPump
{
public:
    explicit TimeSlicedEventPump(int sliceMilliseconds = 15);
    void yield() override;
    bool due() const override;
    void waitIdle() override { yieldNow(); }
    // Processes events now, whatever the time slice says.
    void yieldNow();

private:
    qint64 m_last; // milliseconds on a coarse monotonic clock
    int m_slice;
};

// Counts yields and can run code inside one: for tests that act "during a yield".
class CountingEventPump final : public EventPump
{
public:
    void yield() override
    {
        ++m_count;
        if (onYield)
            onYield(m_count);
    }
    int count() const { return m_count; }

    std::function<void(int yieldNumber)> onYield;

private:
    int m_count = 0;
};

} // namespace quorvane
