#pragma once

#include "Spreadsheet.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

namespace quorvane {

// How the Calc plugin reaches an office: the pipe it listens on (the office is started with that pipe when
// nothing answers there) and extra arguments for an office it starts.
struct CalcConnection
{
    QString programFolder; // LibreOffice's program folder (soffice, the UNO runtime, fundamentalrc)
    QString pipeName;
    QStringList extraArguments;
    int startSeconds = 60; // how long a starting office may take to answer
};

// The signature of the plugin's one entry point, "quorvane_calc_add_workbook": the new document, or null
// with `error` set. No exception crosses it.
using CalcAddWorkbook = Spreadsheet* (*)(const CalcConnection* connection, QString* error);

// LibreOffice Calc as the spreadsheet application. All UNO code lives in the plugin "quorvane_calc", which
// is loaded only once LibreOffice was found, so the program itself runs where LibreOffice is missing.
class LibreOfficeCalc final : public SpreadsheetApplication
{
public:
    // `pluginPath` empty: the plugin beside the program. `pipeName` empty: the user's own pipe (userPipeName()),
    // its token kept in `tokenFolder` (empty: the program's configuration folder).
    explicit LibreOfficeCalc(QString pluginPath = {}, QString pipeName = {}, QStringList extraArguments = {},
                             QString tokenFolder = {});

    // The pipe of the office that the user's exports start and join: "quorvane-calc-" and a random token of 128
    // bits that only this user can read. Anyone who could guess the name could listen on it before the office
    // does and be handed the exported rows. The token lives in the file "office-pipe" of `folder`, made with
    // no rights for anyone else, so that later exports, and later runs, join the office an earlier one started.
    // A file that others could read or write, or that is not a plain file of the user's own, is replaced by a
    // new token. Throws Failure when no token can be kept.
    static QString userPipeName(const QString& folder);
    // The folder of userPipeName() when none is given.
    static QString defaultTokenFolder();

    // LibreOffice's program folder when it holds everything the export needs (the program, the UNO runtime
    // and its type libraries, Calc itself), else the empty string. Reads only file names.
    static QString findProgramFolder();

    bool isInstalled() override;
    std::unique_ptr<Spreadsheet> addWorkbook() override;

private:
    QString m_pluginPath;
    QString m_pipeName;
    QStringList m_extraArguments;
    QString m_tokenFolder;
    QLibrary m_plugin;
};

} // namespace quorvane
