// The window's list commands on 1,000,000 result rows and 1,000,000 DomainList entries, each beside appending
// the same rows to the empty list (goal: within 3 x; a delete of one row within 10 ms), and the longest
// stretch between two yields of a run, the text export, the clipboard copy and the spreadsheet export (goal:
// 50 ms). The window is shown (offscreen unless a display is set) with its own time-sliced pump, measured.
// usage: bench_listcommands [ROWS]   (default 1,000,000; env QUORVANE_BENCH_ROWS likewise)
#include "BenchSupport.h"
#include "MainWindow.h"
#include "WindowBench.h"
#include "core/EventPump.h"
#include "core/Prompter.h"
#include "output/Clipboard.h"
#include "output/Spreadsheet.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

using namespace quorvane;
using quorvane::bench::Stopwatch;

namespace {

class Prompts final : public Prompter
{
public:
    QString savePath;
    void message(const QString&) override {}
    void errorReport(const QString& text) override { std::fprintf(stderr, "report: %s\n", qPrintable(text)); }
    QString inputBox(const QString&) override { return {}; }
    QStringList openFileNames(const FileDialogOptions&) override { return {}; }
    QString saveFileName(const FileDialogOptions&) override { return savePath; }
};

class DiscardingClipboard final : public Clipboard
{
public:
    bool clear() override { return true; }
    bool setUtf8Text(const QByteArray& text) override
    {
        bytes = text.size();
        return true;
    }
    qsizetype bytes = 0;
};

// A sheet that keeps nothing: the export's own cost and its yields, without an office.
class NullSheet final : public Spreadsheet
{
public:
    void setTexts(int, int, const QList<QStringList>&) override {}
    void autofitColumn(int) override {}
    void autofitAllColumns() override {}
    QString show() override { return {}; }
};
class NullSpreadsheet final : public SpreadsheetApplication
{
public:
    bool isInstalled() override { return true; }
    std::unique_ptr<Spreadsheet> addWorkbook() override { return std::make_unique<NullSheet>(); }
};

void settle()
{
    QCoreApplication::processEvents();
}

double timed(const std::function<void()>& command)
{
    Stopwatch clock;
    command();
    settle(); // the views' own work after the change counts too
    return clock.seconds();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int rowCount = qEnvironmentVariableIntValue("QUORVANE_BENCH_ROWS");
    if (argc > 1)
        rowCount = QString::fromLocal8Bit(argv[1]).toInt();
    if (rowCount <= 0)
        rowCount = 1000000;
    QTemporaryDir temporary;
    Prompts prompter;
    Settings settings(temporary.filePath(QStringLiteral("settings.ini")));
    bench::MeasuringPump pump;
    DiscardingClipboard clipboard;
    NullSpreadsheet spreadsheet;
    MainWindowSetup setup;
    setup.applicationFolder = QStringLiteral(QUORVANE_APP_DIR);
    setup.prompter = &prompter;
    setup.eventPump = &pump;
    setup.settings = &settings;
    setup.clipboard = &clipboard;
    setup.spreadsheet = &spreadsheet;
    MainWindow window(setup);
    if (!window.Form_Load())
        qFatal("start-up ended the program");
    window.show();
    settle();

    QStringList rows;
    rows.reserve(rowCount);
    for (int i = 0; i < rowCount; ++i)
        rows.append(QStringLiteral("best cheap flights online %1").arg(i));

    struct ListUnderTest
    {
        const char* name;
        TextListModel& model;
        QTableView* view;
        bool checked;
    };
    const ListUnderTest lists[] = {
        {"ResultList", window.resultList(), window.findChild<QTableView*>(QStringLiteral("ListView2")), true},
        {"DomainList", window.domainList(), window.findChild<QTableView*>(QStringLiteral("ListView1")), false},
    };
    bool allMet = true;
    const auto verdict = [&](double seconds, double limit) {
        const bool met = seconds <= limit;
        allMet = allMet && met;
        return met ? "met" : "NOT met";
    };
    for (const ListUnderTest& list : lists) {
        const auto fill = [&] {
            list.model.clear();
            settle();
            return timed([&] { list.model.append(rows, list.checked); });
        };
        const auto selectRow = [&](int row) {
            list.view->setCurrentIndex(list.model.index(row, 0));
            settle();
        };
        const double append = fill();
        std::printf("\n%s, %d rows: appending them to the empty list %.1f ms\n", list.name, rowCount, append * 1000);
        const auto print = [&](const char* command, double seconds) {
            std::printf("  %-44s %9.2f ms  (%.2f x the append; goal <= 3 x: %s)\n", command, seconds * 1000,
                        seconds / append, verdict(seconds, 3 * append));
        };

        const bool results = list.checked;
        print(results ? "Clear Results" : "Clear List", timed([&] {
                  if (results)
                      window.PushButton2_Click();
                  else
                      window.PushButton1_Click();
              }));
        if (list.model.count() != 0)
            qFatal("the list was not cleared");

        fill();
        selectRow(rowCount / 2);
        const double deleteOne = timed([&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QCoreApplication::sendEvent(list.view, &press);
        });
        print("Delete of one row (middle)", deleteOne);
        std::printf("  %-44s goal <= 10 ms: %s\n", "", verdict(deleteOne, 0.010));
        if (list.model.count() != rowCount - 1)
            qFatal("Delete removed %d rows", rowCount - list.model.count());

        selectRow(1);
        const double doubleClick = timed([&] {
            const QRect cell = list.view->visualRect(list.model.index(1, 0));
            QMouseEvent click(QEvent::MouseButtonDblClick, cell.center(),
                              list.view->viewport()->mapToGlobal(cell.center()), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(list.view->viewport(), &click);
        });
        print("double-click removal (row 2)", doubleClick);
        std::printf("  %-44s goal <= 10 ms: %s\n", "", verdict(doubleClick, 0.010));

        QList<int> run;
        for (int i = 0; i < 1000; ++i)
            run.append(rowCount / 3 + i);
        print("a selection of 1,000 neighbouring rows", timed([&] { list.model.removeRowSet(run); }));
        QList<int> scattered;
        for (int i = 0; i < 1000; ++i)
            scattered.append(int(qint64(i) * (rowCount - 3000) / 1000));
        print("a selection of 1,000 scattered rows", timed([&] { list.model.removeRowSet(scattered); }));
        print("removeRows of every row", timed([&] { list.model.removeRows(0, list.model.count()); }));
    }

    // The same removals on a list that no view shows: what the list itself takes.
    {
        TextListModel alone(TextListModel::Marks::Checkable);
        alone.append(rows, true);
        Stopwatch one;
        alone.remove(rowCount / 2);
        const double oneSeconds = one.seconds();
        Stopwatch last;
        alone.remove(alone.count() - 1);
        std::printf("\nthe list alone, no view: Delete of the middle row %.2f ms, of the last row %.3f ms\n",
                    oneSeconds * 1000, last.seconds() * 1000);
    }

    // The clear at the start of a run: a million result rows, one name to split.
    window.domainList().clear();
    window.domainList().append(QStringLiteral("bestcheapflightsonline.com"));
    window.resultList().append(rows, true);
    settle();
    const double run = timed([&] { window.PushButton9_Click(); });
    std::printf("\nStart Splitting over one name with %d result rows before (their clear included): %.1f ms\n",
                rowCount, run * 1000);

    // The longest stretch between two yields.
    std::printf("\nlongest stretch between two yields (goal <= 50 ms):\n");
    const auto stretch = [&](const char* command, const std::function<void()>& body) {
        pump.reset();
        Stopwatch clock;
        body();
        const double seconds = clock.seconds();
        std::printf("  %-38s %7.2f ms   (%ld yields, %.2f s in all) %s\n", command, pump.longestSeconds() * 1000,
                    pump.yields(), seconds, verdict(pump.longestSeconds(), 0.050));
    };
    window.resultList().clear();
    window.resultList().append(rows, true);
    prompter.savePath = temporary.filePath(QStringLiteral("results.txt"));
    stretch("text export of the rows", [&] { window.PushButton4_Click(); });
    stretch("clipboard copy of the rows", [&] { window.PushButton5_Click(); });
    stretch("spreadsheet export (no office)", [&] { window.PushButton13_Click(); });
    const int runNames = std::min(rowCount, 10000);
    window.domainList().clear();
    QStringList names;
    for (int i = 0; i < runNames; ++i)
        names.append(QStringLiteral("bestcheapflightsonline%1.com").arg(i % 1000));
    window.domainList().append(names);
    stretch("run over 10,000 names", [&] { window.PushButton9_Click(); });
    std::printf("  (the run gave %d rows)\n", window.resultList().count());
    std::printf("\nall goals %s\n", allMet ? "met" : "NOT all met");
    return 0;
}
