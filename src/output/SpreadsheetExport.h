#pragma once

#include <QAbstractItemModel>
#include <QString>

namespace quorvane {

class ErrorTrap;
class EventPump;
class SpreadsheetApplication;

// A sheet's rows; row 1 holds the captions, so list rows up to this count minus one fit below them.
inline constexpr int sheetRowLimit = 1048576;

// Consecutive checked rows go to the sheet in blocks of at most this many cells: one call writes a
// block in a few tens of milliseconds, so the window is served between blocks.
inline constexpr int spreadsheetBlockCells = 8192;

// What an export left out, and where it saved a document it could not show.
struct SpreadsheetExportResult
{
    int leftOut = 0; // checked rows that did not fit onto the sheet (they are not written)
    QString savedAs; // the file the document was saved as, when the application could not show it
};
// Copies the list view into a new document of the application, as steps of the caller's trap: captions in sheet row
// 1, list row r in sheet row r + 1 (an unchecked row leaves its sheet row empty), every "=" removed from the texts
// of columns 2 and up, every value stored as text; then the columns fitted, the document shown (or saved, by an
// application without windows) and let go of. Every call to the application runs on a thread of the export's own
// while the pump serves the window. A write the sheet refuses costs its cells: the first such failure is reported
// through the trap, and the export goes on with the rows after it, the fitting and the showing. When the application
// no longer answers (SpreadsheetGone), the failure is reported once and the export ends. A failure to read the list
// (it changed under the export) is reported and ends the export.
SpreadsheetExportResult exportToSpreadsheet(const QAbstractItemModel& listView, SpreadsheetApplication& application,
                                            EventPump& pump, ErrorTrap& trap);

} // namespace quorvane
