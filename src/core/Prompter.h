#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

// What a file dialog offers: its title and its filter entries, e.g. "Text Files (*.txt)".
struct FileDialogOptions
{
    QString title;
    QStringList filters;
    int selectedFilter = 0;
};

// Every modal interaction of the program, so that handlers run headless.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // A plain message box: OK only, no icon, captioned with the application title.
    virtual void message(const QString& text) = 0;
    // The error report box: caption "Application Error", warning icon, OK only. The text is complete.
    virtual void errorReport(const QString& text) = 0;
    // A step of a trapped procedure failed (ErrorTrap): `location` names the procedure, `step` the step. By
    // default the error report box shows errorReportText(description, location, step); a prompter without
    // boxes may word the report its own way.
    virtual void stepFailed(const QString& description, const QString& location, int step);
    // An input box captioned with the application title; the empty string when cancelled.
    virtual QString inputBox(const QString& prompt) = 0;
    // An open-file dialog allowing several files; full paths in the dialog's order, none when cancelled.
    virtual QStringList openFileNames(const FileDialogOptions& options) = 0;
    // A save dialog without overwrite prompt or default extension; the empty string when cancelled.
    virtual QString saveFileName(const FileDialogOptions& options) = 0;
};

} // namespace quorvane
