#pragma once

#include "MainWindow.h"
#include "core/Prompter.h"

#include <QCoreApplication>

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
