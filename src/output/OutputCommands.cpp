#include "OutputCommands.h"

#include "AlignedTextExport.h"
#include "ClipboardCopy.h"
#include "Spreadsheet.h"
#include "SpreadsheetExport.h"
#include "core/ErrorTrap.h"
#include "core/EventPump.h"
#include "core/Failure.h"
#include "core/Locations.h"
#include "core/Pointer.h"
#include "core/Prompter.h"

#include <QScopeGuard>

namespace quorvane {

void OutputCommands::PushButton4_Click(const QAbstractItemModel& results)
{
    stoppable([&] { saveText(results); });
}

void OutputCommands::PushButton5_Click(const QAbstractItemModel& results)
{
    stoppable([&] { copy(results); });
}

void OutputCommands::PushButton13_Click(const QAbstractItemModel& results)
{
    stoppable([&] { exportToSpreadsheet(results); });
}

template <typename Command> void OutputCommands::stoppable(Command&& command)
{
    ++m_exporting;
    const auto done = qScopeGuard([this] { --m_exporting; });
    try {
        command();
    } catch (const CommandStopped&) {
        // The program is ending: the command ends at the yield where it learnt so, and says nothing more.
        m_pointer.setShape(PointerShape::Default);
    }
}

void OutputCommands::saveText(const QAbstractItemModel& results)
{
    ErrorTrap trap(location::saveTextClick, m_prompter);
    QString path;
    trap.step(100, [&] {
        // No overwrite prompt and no default extension: a name typed without one is used as typed.
        path = m_prompter.saveFileName(
            {QStringLiteral("Save"), {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")}, 0});
    });
    if (trap.test(102, [&] { return path.isEmpty(); }))
        return;
    trap.step(104, [&] { m_pointer.setShape(PointerShape::Busy); });
    trap.step(106, [&] { saveListviewProperlySpaced(results, path, m_progress, m_pump, m_prompter); });
    trap.step(108, [&] { m_pointer.setShape(PointerShape::Default); });
}

void OutputCommands::copy(const QAbstractItemModel& results)
{
    ErrorTrap trap(location::copyClipboardClick, m_prompter);
    trap.step(100, [&] { copyListviewToClipboard(results, m_clipboard, m_pump); });
    trap.step(102, [&] {
        m_prompter.message(QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                                          "normally type and press Ctrl+V to paste the clipboard."));
    });
}

bool OutputCommands::refuseWhileExporting()
{
    if (m_exporting == 0)
        return false;
    m_prompter.message(QStringLiteral("The results are being exported. Wait until the export is done, then try "
                                      "again."));
    return true;
}

void OutputCommands::PushButton2_Click(QAbstractItemModel& results)
{
    if (refuseWhileExporting())
        return;
    ErrorTrap trap(location::clearResultsClick, m_prompter);
    trap.step(100, [&] {
        const int rows = results.rowCount();
        if (rows > 0 && !results.removeRows(0, rows))
            throw Failure(QStringLiteral("The results list cannot be cleared."));
    });
}

bool OutputCommands::SaveResultsAsExcelFileIsExcelInstalled()
{
    if (m_spreadsheet.isInstalled())
        return true;
    m_prompter.message(QStringLiteral("Excel is not installed on this computer. You need to have it installed to use "
                                      "this software without error."));
    return false;
}

void OutputCommands::exportToSpreadsheet(const QAbstractItemModel& results)
{
    ErrorTrap trap(location::saveSpreadsheetClick, m_prompter);
    if (trap.test(100, [&] { return !SaveResultsAsExcelFileIsExcelInstalled(); })) {
        trap.step(102, [&] {
            m_prompter.message(QStringLiteral(
                "Excel is not installed on this computer. You need to have it installed to use this feature."));
        });
        return;
    }
    if (trap.test(106, [&] { return results.rowCount() == 0; }))
        return;
    trap.step(108, [&] { m_pointer.setShape(PointerShape::Busy); });
    const SpreadsheetExportResult result = quorvane::exportToSpreadsheet(results, m_spreadsheet, m_pump, trap);
    trap.step(148, [&] { m_pointer.setShape(PointerShape::Default); });
    if (result.leftOut > 0) {
        trap.step(152, [&] {
            m_prompter.message(QStringLiteral("A sheet holds %1 rows, so the last %2 checked results did not fit and "
                                              "were left out.")
                                   .arg(sheetRowLimit)
                                   .arg(result.leftOut));
        });
    }
    if (!result.savedAs.isEmpty()) {
        trap.step(154, [&] {
            m_prompter.message(QStringLiteral("The spreadsheet application cannot show documents on this computer, so "
                                              "the results were saved in the file \"%1\".")
                                   .arg(result.savedAs));
        });
    }
}

} // namespace quorvane
