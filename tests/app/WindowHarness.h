#pragma once

#include "MainWindow.h"
#include "ScriptedPrompter.h"
#include "Settings.h"
#include "TestFiles.h"
#include "core/EventPump.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace quorvane::testwindow {

// The window built headless with a scripted prompter, a counting event pump and settings in a temporary
// INI file. By default it reads its data from the build's application folder and starts with the small word
// list #3 chosen, so that each test spends little time loading words; `FirstRun` starts without settings.
class WindowHarness
{
public:
    enum Start
    {
        SmallWordList,
        FirstRun,
    };

    explicit WindowHarness(Start start = SmallWordList) : m_applicationFolder(testfiles::applicationFolder())
    {
        if (start == SmallWordList)
            presetSetting(QStringLiteral("Option"), QStringLiteral("3"));
    }

    QString settingsPath() const { return m_temporary.filePath(QStringLiteral("settings.ini")); }
    QString temporaryPath(const QString& name) const { return m_temporary.filePath(name); }

    // Stores a value as an earlier run would have.
    void presetSetting(const QString& key, const QString& value)
    {
        QSettings store(settingsPath(), QSettings::IniFormat);
        store.setValue(QStringLiteral("Quorvane/") + key, value);
    }
    QVariant storedSetting(const QString& key) const
    {
        if (m_settings)
            m_settings->flush();
        QSettings store(settingsPath(), QSettings::IniFormat);
        return store.value(QStringLiteral("Quorvane/") + key);
    }

    // A private application folder holding the named data files of the build's folder (linked, not copied).
    QString makeApplicationFolder(const QStringList& files)
    {
        const QString folder = m_temporary.filePath(QStringLiteral("app"));
        QDir().mkpath(folder);
        for (const QString& file : files)
            QFile::link(testfiles::applicationFolder() + QLatin1Char('/') + file, folder + QLatin1Char('/') + file);
        m_applicationFolder = folder;
        return folder;
    }

    MainWindow& create()
    {
        m_settings = std::make_unique<Settings>(settingsPath());
        MainWindowSetup setup;
        setup.applicationFolder = m_applicationFolder;
        setup.prompter = &prompter;
        setup.eventPump = &pump;
        setup.settings = m_settings.get();
        setup.clipboard = clipboard;
        setup.spreadsheet = spreadsheet;
        m_window = std::make_unique<MainWindow>(setup);
        return *m_window;
    }

    // Creates the window and runs start-up; fails the test when start-up asks to end the program.
    MainWindow& load()
    {
        MainWindow& built = create();
        if (!built.Form_Load())
            qFatal("start-up ended the program");
        return built;
    }

    MainWindow& window() { return *m_window; }
    void destroy() { m_window.reset(); }

    ScriptedPrompter prompter;
    CountingEventPump pump;
    // Null: the window's own (the system clipboard, LibreOffice Calc).
    Clipboard* clipboard = nullptr;
    SpreadsheetApplication* spreadsheet = nullptr;

private:
    QTemporaryDir m_temporary;
    QString m_applicationFolder;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace quorvane::testwindow
