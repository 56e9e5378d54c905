#include "OutputCommands.h"

#include "AlignedTextExport.h"
#include "ClipboardCopy.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"
#include "core/Locations.h"
#include "core/Pointer.h"
#include "core/Prompter.h"

namespace quorvane {

void OutputCommands::PushButton4_Click(const QAbstractItemModel& results)
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

void OutputCommands::PushButton5_Click(const QAbstractItemModel& results)
{
    ErrorTrap trap(location::copyClipboardClick, m_prompter);
    trap.step(100, [&] { copyListviewToClipboard(results, m_clipboard, m_pump); });
    trap.step(102, [&] {
        m_prompter.message(QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                                          "normally type and press Ctrl+V to paste the clipboard."));
    });
}

void OutputCommands::PushButton2_Click(QAbstractItemModel& results)
{
    ErrorTrap trap(location::clearResultsClick, m_prompter);
    trap.step(100, [&] {
        const int rows = results.rowCount();
        if (rows > 0 && !results.removeRows(0, rows))
            throw Failure(QStringLiteral("The results list cannot be cleared."));
    });
}

} // namespace quorvane
