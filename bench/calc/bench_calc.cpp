// Exports 100,000 checked result rows to a headless LibreOffice Calc that is already running (an office of
// its own, started first with a profile of its own), end to end through the plugin, and prints the time
// beside 2,000 rows written one cell per call, extrapolated. Ends that office afterwards.
#include "BenchSupport.h"
#include "TestOffice.h"
#include "UnoOffice.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "core/Prompter.h"
#include "model/TextListModel.h"
#include "output/Clipboard.h"
#include "output/LibreOfficeCalc.h"
#include "output/OutputCommands.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

using namespace quorvane;

namespace {

class PrintingPrompter final : public Prompter
{
public:
    void message(const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }
    void errorReport(const QString& text) override { std::printf("error report: %s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return {}; }
};

class NoClipboard final : public Clipboard
{
public:
    bool clear() override { return true; }
    bool setUtf8Text(const QByteArray&) override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const QString programFolder = LibreOfficeCalc::findProgramFolder();
    if (programFolder.isEmpty()) {
        std::printf("LibreOffice Calc is not installed\n");
        return 1;
    }
    QTemporaryDir profile;
    const QString pipe = QStringLiteral("quorvane-bench-%1").arg(QCoreApplication::applicationPid());
    const QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--invisible"),
                                QStringLiteral("-env:UserInstallation=") +
                                    QUrl::fromLocalFile(profile.path()).toString()};
    // Ends the office at the end, and waits for it to write its profile before the folder goes.
    const testoffice::OfficeEnding ending(CalcConnection{programFolder, pipe, arguments},
                                          QStringLiteral("name=%1;").arg(pipe).toUtf8());
    LibreOfficeCalc calc(QStringLiteral(QUORVANE_APP_DIR "/libquorvane_calc.so"), pipe, arguments);

    TextListModel results(TextListModel::Marks::Checkable);
    results.setCaption(QStringLiteral("Results"));
    QStringList texts;
    for (int r = 0; r < rows; ++r)
        texts.append(QStringLiteral("result%1").arg(r, 14, 10, QLatin1Char('0')));
    results.append(texts, true);

    PrintingPrompter prompter;
    PlainPointer pointer;
    TimeSlicedEventPump pump;
    NoClipboard clipboard;
    OutputCommands commands(prompter, pointer, pump, nullptr, clipboard, calc);

    bench::Stopwatch start;
    calc.addWorkbook(); // starts the office; the document is let go of at once
    std::printf("office started and first document in %.2f s\n", start.seconds());

    bench::Stopwatch exportTimer;
    commands.PushButton13_Click(results);
    const double exportSeconds = exportTimer.seconds();
    std::printf("export of %d checked rows, end to end (office running): %.2f s\n", rows, exportSeconds);

    const int perCellRows = 2000;
    auto sheet = calc.addWorkbook();
    bench::Stopwatch perCell;
    for (int r = 0; r < perCellRows; ++r)
        sheet->setTexts(r + 1, 0, {{texts.at(r)}});
    const double perCellSeconds = perCell.seconds();
    sheet.reset();
    std::printf("one cell per call: %d rows in %.2f s (%.0f us a cell), %d rows extrapolated: %.1f s -> blocks are "
                "%.0fx faster\n",
                perCellRows, perCellSeconds, perCellSeconds / perCellRows * 1e6, rows,
                perCellSeconds / perCellRows * rows, perCellSeconds / perCellRows * rows / exportSeconds);

    return 0;
}
