#pragma once

#include "core/Failure.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace quorvane {

// Thrown when the spreadsheet application no longer answers.
class SpreadsheetGone : public Failure
{
public:
    using Failure::Failure;
};

// One new, unsaved spreadsheet document, seen through its active sheet.
class Spreadsheet
{
public:
    virtual ~Spreadsheet() = default;

    // Stores the texts from (row, column) on, one list per sheet row, all of the same length. Every value
    // is stored as text, never as a formula.
    virtual void setTexts(int row, int column, const QList<QStringList>& rows) = 0;
    // Widens a column, or every column that holds something, to its content.
    virtual void autofitColumn(int column) = 0;
    virtual void autofitAllColumns() = 0;
    // Makes the document's window visible and brings it to the front, and returns the empty string. An
    // application that shows no windows saves the document as a file instead, closes it and returns the
    // file's path, so that the results are not lost in a document nobody can reach.
    virtual QString show() = 0;
    // The export stopped before the document was shown: a document that the user cannot see is closed, as
    // nobody could reach it; one on the screen stays the user's.
    virtual void abandon() {}
};

// The spreadsheet application that the export hands its results to.
class SpreadsheetApplication
{
public:
    virtual ~SpreadsheetApplication() = default;

    // A quick check that the application is there; starts nothing and never fails.
    virtual bool isInstalled() = 0;
    // Starts the application or joins the running one, and adds a new document. This may take seconds;
    // it runs on a worker thread, and may still run after the export gave up waiting for it. Throws Failure.
    virtual std::unique_ptr<Spreadsheet> addWorkbook() = 0;
    // For the program's end, while abandoned exports still run, from any thread: ends the application if this
    // program started it and it shows no windows, as it then holds nothing but those exports' hidden
    // documents. Quick; never fails.
    virtual void endAbandoned() {}
};

} // namespace quorvane
