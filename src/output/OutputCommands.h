#pragma once

#include <QAbstractItemModel>

namespace quorvane {

class Clipboard;
class EventPump;
class Pointer;
class ProgressIndicator;
class Prompter;
class SpreadsheetApplication;

// The window's commands on the ResultList as a whole.
class OutputCommands
{
public:
    OutputCommands(Prompter& prompter, Pointer& pointer, EventPump& pump, ProgressIndicator* progress,
                   Clipboard& clipboard, SpreadsheetApplication& spreadsheet)
        : m_prompter(prompter), m_pointer(pointer), m_pump(pump), m_progress(progress), m_clipboard(clipboard),
          m_spreadsheet(spreadsheet)
    {}

    // "Save Results As Text File": asks for a file name, then writes the checked rows aligned.
    void PushButton4_Click(const QAbstractItemModel& results);
    // "Copy Results To Clipboard": copies the checked rows and says how to paste them.
    void PushButton5_Click(const QAbstractItemModel& results);
    // "Clear Results": removes every row of the list, nothing else.
    void PushButton2_Click(QAbstractItemModel& results);
    // "Save Results As Excel File": copies the list into a new, unsaved, visible spreadsheet document.
    void PushButton13_Click(const QAbstractItemModel& results);

    // Whether the spreadsheet application is there; says so when it is not. Starts nothing.
    bool SaveResultsAsExcelFileIsExcelInstalled();

    // While one of the exports reads the ResultList (it is in a yield), says that the list cannot change now
    // and returns true: a command that would change the list ("Start Splitting", "Clear Results") is refused,
    // so that the export ends with the list it started with. Else returns false.
    bool refuseWhileExporting();

private:
    // Runs a command that yields; a CommandStopped thrown by a yield ends it quietly.
    template <typename Command> void stoppable(Command&& command);
    void saveText(const QAbstractItemModel& results);
    void copy(const QAbstractItemModel& results);
    void exportToSpreadsheet(const QAbstractItemModel& results);

    Prompter& m_prompter;
    Pointer& m_pointer;
    EventPump& m_pump;
    ProgressIndicator* m_progress;
    Clipboard& m_clipboard;
    SpreadsheetApplication& m_spreadsheet;
    int m_exporting = 0; // exports in progress, one inside another's yield included
};

} // namespace quorvane
