#pragma once

#include "Spreadsheet.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

namespace quorvane {

// How the Calc plugin reaches an office.
struct CalcConnection
{
    QString programFolder; // LibreOffice's program folder (soffice, the UNO runtime, fundamentalrc)
    QString pipeName;
    QStringList extraArguments;
    int startSeconds = 60; // how long a starting office may take to answer
    QString saveFolder{};  // for the documents of an office without windows
};

// The signature of the plugin's one entry point, "quorvane_calc_add_workbook": the new document, or null
// with `error` set. No exception crosses it.
using CalcAddWorkbook = Spreadsheet* (*)(const CalcConnection* connection, QString* error);
// The plugin's "quorvane_calc_end_started_office": SpreadsheetApplication::endAbandoned() for the office it
// started.
using CalcEndStartedOffice = void (*)();

// LibreOffice Calc as the spreadsheet application, through the plugin.
class LibreOfficeCalc final : public SpreadsheetApplication
{
public:
    // `pluginPath` empty: the plugin beside the program. `pipeName` empty: a new name for this object
    // (OfficePipe::newName()), so that a name seen in an earlier run, or on the office's command line, is of no
    // use to anyone else. `saveFolder` empty: the user's documents folder.
    explicit LibreOfficeCalc(QString pluginPath = {}, QString pipeName = {}, QStringList extraArguments = {},
                             QString saveFolder = {});

    // The pipe that this object's exports start and join an office on.
    QString pipeName() const;

    // LibreOffice's program folder when it holds everything the export needs (the program, the UNO runtime
    // and its type libraries, Calc itself), else the empty string. Reads only file names.
    static QString findProgramFolder();

    bool isInstalled() override;
    std::unique_ptr<Spreadsheet> addWorkbook() override;
    void endAbandoned() override;

private:
    std::unique_ptr<Spreadsheet> addWorkbook(const CalcConnection& connection);

    QString m_pluginPath;
    bool m_ownPipeName;
    QString m_pipeName;
    QStringList m_extraArguments;
    QString m_saveFolder;
    QLibrary m_plugin;
};

} // namespace quorvane
