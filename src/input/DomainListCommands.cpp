#include "DomainListCommands.h"

#include "DomainListInput.h"
#include "core/ErrorTrap.h"
#include "core/Locations.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "model/TextListModel.h"

namespace quorvane {

void loadDomainFiles(TextListModel& list, Prompter& prompter, Pointer& pointer)
{
    ErrorTrap trap(location::loadDomainsClick, prompter);
    FileDialogOptions dialog;
    QStringList paths;
    trap.step(100, [&] { paths.clear(); });
    // 102: several files may be selected; the open-file dialog always allows it.
    trap.step(104, [&] { dialog.title = QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"); });
    trap.step(106, [&] {
        dialog.filters = {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")};
        dialog.selectedFilter = 0;
    });
    trap.step(108, [&] { paths = prompter.openFileNames(dialog); });
    if (trap.test(110, [&] { return paths.isEmpty(); }))
        return;
    // 112: the dialog hands back full paths, one per selected file, in its order.
    trap.step(114, [&] { pointer.setShape(PointerShape::Busy); });
    if (trap.test(116, [&] { return paths.size() == 1; })) {
        QString path;
        trap.step(118, [&] { path = paths.first(); });
        trap.step(120, [&] { addFileLinesToList(list, path, prompter); });
    } else if (trap.test(122, [&] { return paths.size() >= 2; })) {
        qsizetype index = 0;
        qsizetype last = 0;
        trap.step(124, [&] { index = 0; });
        trap.step(126, [&] { last = paths.size() - 1; });
        if (trap.test(128, [&] { return index <= last; })) {
            do {
                QString path;
                trap.step(130, [&] { path = paths.at(index); });
                trap.step(134, [&] { addFileLinesToList(list, path, prompter); });
            } while (trap.loopEnd(136, [&] { return ++index <= last; }));
        }
    }
    trap.step(138, [&] { pointer.setShape(PointerShape::Default); });
}

void addTypedDomain(TextListModel& list, Prompter& prompter)
{
    ErrorTrap trap(location::addDomainClick, prompter);
    QString typed;
    trap.step(100, [&] { typed = prompter.inputBox(QStringLiteral("Enter domain to add: ")); });
    if (trap.test(102, [&] { return typed.isEmpty(); }))
        return;
    if (trap.test(104, [&] { return !typed.contains(QLatin1Char(',')); })) {
        QString entry;
        // 106 to 120: the words of the text, joined.
        trap.step(106, [&] { entry = domainEntryFromWords(typed); });
        if (trap.test(122, [&] { return entry.isEmpty(); }))
            return;
        trap.step(124, [&] { list.append(entry); });
    } else {
        trap.step(126, [&] { list.append(typed); });
    }
}

void addSampleDomains(TextListModel& list, Prompter& prompter)
{
    ErrorTrap trap(location::samplesClick, prompter);
    const QStringList samples = sampleDomains();
    int step = 100;
    for (const QString& sample : samples) {
        trap.step(step, [&] { list.append(sample); });
        step += 2;
    }
}

void clearDomainList(TextListModel& list, Prompter& prompter, const Pointer& pointer)
{
    ErrorTrap trap(location::clearListClick, prompter);
    trap.step(100, [&] {
        if (!pointer.isBusy())
            list.clear();
    });
}

} // namespace quorvane
