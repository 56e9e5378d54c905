#pragma once

#include "MainWindow.h"
#include "core/EventPump.h"
#include "core/Prompter.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace quorvane::bench {

// Answers every box at once: messages are dropped, error reports printed, the open-file dialog answered
// with `openAnswer`.
class BenchPrompter final : public Prompter
{
public:
    QStringList openAnswer;
    void message(const QString&) override {}
    void errorReport(const QString& text) override { std::fprintf(stderr, "report: %s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return openAnswer; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }
};

// The window's own time-sliced pump, measuring the longest stretch in which the window took no events: between
// two yields or waits that let it take them.
class MeasuringPump final : public EventPump
{
public:
    void yield() override
    {
        ++m_yields;
        if (m_inner.due())
            answer();
    }
    bool due() const override { return m_inner.due(); }
    void waitIdle() override { answer(); }

    double longestSeconds() const { return m_longest; }
    // The longest time the window took for its events at once (repainting, scrolling).
    double longestInsideSeconds() const { return m_longestInside; }
    long yields() const { return m_yields; }
    // The yields counted when the longest stretch ended.
    long longestBefore() const { return m_longestBefore; }
    void reset() { *this = MeasuringPump(); }

private:
    using Clock = std::chrono::steady_clock;

    void answer()
    {
        const auto now = Clock::now();
        if (m_started && std::chrono::duration<double>(now - m_last).count() > m_longest) {
            m_longest = std::chrono::duration<double>(now - m_last).count();
            m_longestBefore = m_yields;
        }
        m_started = true;
        m_inner.yieldNow();
        m_last = Clock::now();
        m_longestInside = std::max(m_longestInside, std::chrono::duration<double>(m_last - now).count());
    }

    TimeSlicedEventPump m_inner;
    Clock::time_point m_last;
    bool m_started = false;
    double m_longest = 0;
    double m_longestInside = 0;
    long m_yields = 0;
    long m_longestBefore = 0;
};

// The window started on the application folder and shown (offscreen or on a display).
inline std::unique_ptr<MainWindow> startWindow(const QString& applicationFolder, Prompter& prompter, Settings& settings,
                                               EventPump* eventPump = nullptr)
{
    MainWindowSetup setup;
    setup.applicationFolder = applicationFolder;
    setup.prompter = &prompter;
    setup.settings = &settings;
    setup.eventPump = eventPump;
    auto window = std::make_unique<MainWindow>(setup);
    if (!window->Form_Load())
        qFatal("start-up ended the program");
    window->show();
    QCoreApplication::processEvents();
    return window;
}

} // namespace quorvane::bench
