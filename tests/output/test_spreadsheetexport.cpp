#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "model/TextListModel.h"
#include "output/OutputCommands.h"
#include "output/SpreadsheetExport.h"
#include "output/SpreadsheetThread.h"

#include <QtTest>

#include <cerrno>
#include <future>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

struct Window
{
    ScriptedPrompter prompter;
    PlainPointer pointer;
    CountingEventPump pump;
    FakeClipboard clipboard;
    FakeSpreadsheetApplication spreadsheet;
    OutputCommands commands{prompter, pointer, pump, nullptr, clipboard, spreadsheet};
};

const QString absentForSoftware = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this software without error.");
const QString absentForFeature =
    QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this feature.");

} // namespace

class TestSpreadsheetExport : public QObject
{
    Q_OBJECT

private slots:
    void sheetLayout_data() { addExportLayouts(); }
    void sheetLayout()
    {
        QFETCH(QStringList, captions);
        QFETCH(QList<Row>, rows);
        QFETCH(Cells, cells);
        Window window;
        const auto results = listView(captions, rows);
        window.commands.PushButton13_Click(*results);
        const bool exported = !rows.isEmpty(); // an empty list opens no sheet and leaves the pointer alone
        QCOMPARE(window.spreadsheet.document.cells, cells);
        QCOMPARE(window.spreadsheet.checks, 1);
        QCOMPARE(window.spreadsheet.workbooks, int(exported));
        QCOMPARE(window.spreadsheet.document.shown, exported);
        QCOMPARE(window.spreadsheet.document.released, exported);
        const QStringList calls = window.spreadsheet.document.calls;
        QCOMPARE(calls.mid(calls.size() - 2), (exported ? QStringList{"autofit all", "show"} : QStringList{}));
        QCOMPARE(window.prompter.shown().size(), 0);
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
        QCOMPARE(window.pointer.changes() == 0, !exported);
    }

    void runsOfCheckedRowsGoInBlocks()
    {
        QList<Row> rows;
        for (int r = 0; r < 20000; ++r)
            rows.append({{QStringLiteral("r%1").arg(r)}, r != 5});
        Window window;
        const auto results = resultList(rows);
        window.commands.PushButton13_Click(*results);
        const QStringList expected{QStringLiteral("setTexts 0,0 1x1"),
                                   QStringLiteral("autofit 0"),
                                   QStringLiteral("setTexts 1,0 5x1"),
                                   QStringLiteral("setTexts 7,0 8192x1"),
                                   QStringLiteral("setTexts 8199,0 8192x1"),
                                   QStringLiteral("setTexts 16391,0 3610x1"),
                                   QStringLiteral("autofit all"),
                                   QStringLiteral("show")};
        QCOMPARE(window.spreadsheet.document.calls, expected);
        QCOMPARE(window.spreadsheet.document.cells.value({20000, 0}), QStringLiteral("r19999"));
        QVERIFY(!window.spreadsheet.document.cells.contains({6, 0}));
    }

    void absentApplicationGivesTwoMessagesAndNothingElse()
    {
        Window window;
        window.spreadsheet.installed = false;
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        window.commands.PushButton13_Click(*results);
        QCOMPARE(window.prompter.messages(), (QStringList{absentForSoftware, absentForFeature}));
        QCOMPARE(window.prompter.shown().size(), 2);
        QCOMPARE(window.spreadsheet.workbooks, 0);
        QCOMPARE(window.pointer.changes(), 0);
    }

    void applicationThatStopsAnsweringEndsTheExportWithOneReport()
    {
        Window window;
        window.spreadsheet.failAtCall = 2; // the first block of rows
        const auto results =
            resultList({{{QStringLiteral("a")}, true}, {{QStringLiteral("b")}, false}, {{QStringLiteral("c")}, true}});
        bool busyAtReport = false;
        window.prompter.onShown = [&](const ScriptedPrompter::Shown&) { busyAtReport = window.pointer.isBusy(); };
        window.commands.PushButton13_Click(*results);
        const QStringList reports = window.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(
            reports[0].startsWith(QStringLiteral("Binary URP bridge disposed during call\r\n"
                                                 "in Velmodra2021/08/31.Form1.PushButton13_Click at line 136\r\r")),
            qPrintable(reports[0]));
        QVERIFY(busyAtReport);
        QCOMPARE(window.spreadsheet.document.calls.size(), 2); // nothing tried after the failure
        QVERIFY(!window.spreadsheet.document.shown);
        QVERIFY(!window.spreadsheet.document.abandoned);
        QVERIFY(window.spreadsheet.document.released);
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
    }

    // A refused cell costs that cell: one report for the first, none for later ones, and every other cell,
    // the fitting and the showing still happen.
    void refusedCellsCostOnlyThemselves()
    {
        Window window;
        QList<Row> rows;
        for (int i = 0; i < 20; ++i)
            rows.append({{QStringLiteral("r%1").arg(i)}, i != 7});
        window.spreadsheet.refusedCells = {{3, 0}, {12, 0}, {0, 0}}; // rows 2 and 11, and the caption
        const auto results = resultList(rows);
        window.commands.PushButton13_Click(*results);

        const QStringList reports = window.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("The cell refused its text\r\n"
                                                      "in Velmodra2021/08/31.Form1.PushButton13_Click at line 118")),
                 qPrintable(reports[0]));
        Cells expected;
        for (int i = 0; i < 20; ++i) {
            if (i != 7 && i != 2 && i != 11)
                expected[{i + 1, 0}] = QStringLiteral("r%1").arg(i);
        }
        QCOMPARE(window.spreadsheet.document.cells, expected);
        QVERIFY(window.spreadsheet.document.calls.contains(QStringLiteral("autofit all")));
        QVERIFY(window.spreadsheet.document.shown);
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
    }

    void rowsPastTheSheetsEndAreCountedInOneMessage()
    {
        TextListModel results(TextListModel::Marks::Checkable);
        results.setCaption(QStringLiteral("Results"));
        QStringList texts(sheetRowLimit + 2, QStringLiteral("x"));
        results.append(texts, true);
        results.setChecked(sheetRowLimit + 1, false); // the last row: unchecked, so not counted
        Window window;
        window.commands.PushButton13_Click(results);
        QCOMPARE(window.prompter.messages(),
                 QStringList{QStringLiteral("A sheet holds 1048576 rows, so the last 2 checked results did not fit "
                                            "and were left out.")});
        QCOMPARE(window.prompter.errorReports().size(), 0);
        QVERIFY(window.spreadsheet.document.cells.contains({sheetRowLimit - 1, 0}));
        QVERIFY(!window.spreadsheet.document.cells.contains({sheetRowLimit, 0}));
        QVERIFY(window.spreadsheet.document.shown);
    }

    void startingServesTheWindowMeanwhile()
    {
        // An application whose start takes a while: the pump keeps turning while it starts.
        class SlowApplication final : public SpreadsheetApplication
        {
        public:
            bool isInstalled() override { return true; }
            std::unique_ptr<Spreadsheet> addWorkbook() override
            {
                QThread::msleep(200);
                return inner.addWorkbook();
            }
            FakeSpreadsheetApplication inner;
        } slow;
        ScriptedPrompter prompter;
        PlainPointer pointer;
        CountingEventPump pump;
        FakeClipboard clipboard;
        OutputCommands commands{prompter, pointer, pump, nullptr, clipboard, slow};
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        commands.PushButton13_Click(*results);
        QVERIFY2(pump.count() >= 10, qPrintable(QString::number(pump.count())));
        QVERIFY(slow.inner.document.shown);
    }

    // A write to a connection whose other end has gone (an office that died) fails with EPIPE on the export's
    // thread, and on the threads started from there, as the office library starts its connection threads:
    // no SIGPIPE ends the process.
    void writesToABrokenConnectionOnTheExportsThreadFailInsteadOfEndingTheProgram()
    {
        CountingEventPump pump;
        SpreadsheetThread thread(pump);
        int direct = 0;
        int started = 0;
        thread.run([&](std::unique_ptr<Spreadsheet>&) {
            const auto brokenWrite = [] {
                int ends[2];
                if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
                    return 0;
                ::close(ends[1]);
                const ssize_t written = ::write(ends[0], "x", 1);
                const int error = written < 0 ? errno : 0;
                ::close(ends[0]);
                return error;
            };
            direct = brokenWrite();
            std::thread([&] { started = brokenWrite(); }).join();
        });
        QCOMPARE(direct, EPIPE);
        QCOMPARE(started, EPIPE);
    }

    // An application without windows saves the document instead of showing it, and the user is told where.
    void windowlessApplicationSavesTheDocumentAndSaysWhere()
    {
        Window window;
        window.spreadsheet.savesTo = QStringLiteral("/home/user/Documents/Quorvane results 2026-01-02 03.04.05.ods");
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        window.commands.PushButton13_Click(*results);
        QCOMPARE(window.prompter.messages(),
                 QStringList{QStringLiteral("The spreadsheet application cannot show documents on this computer, so "
                                            "the results were saved in the file \"/home/user/Documents/Quorvane "
                                            "results 2026-01-02 03.04.05.ods\".")});
        QCOMPARE(window.prompter.errorReports().size(), 0);
        QCOMPARE(window.spreadsheet.document.cells.value({1, 0}), QStringLiteral("a"));
        QVERIFY(!window.spreadsheet.document.abandoned);
        QVERIFY(window.spreadsheet.document.released);
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
    }

    // An export that ends before the showing (here: the list was cleared under it) abandons its document, so
    // that a document nobody can see is not left behind.
    void exportEndingEarlyAbandonsItsDocument()
    {
        Window window;
        QStandardItemModel* list = nullptr;
        const auto results = resultList({{{QStringLiteral("a")}, true}, {{QStringLiteral("b")}, true}});
        list = results.get();
        window.pump.onYield = [&](int yields) {
            if (yields == 3)
                list->removeRows(0, list->rowCount());
        };
        window.commands.PushButton13_Click(*results);
        QCOMPARE(window.prompter.errorReports().size(), 1);
        QVERIFY(!window.spreadsheet.document.shown);
        QVERIFY(window.spreadsheet.document.abandoned);
        QVERIFY(window.spreadsheet.document.released);
        QCOMPARE(window.spreadsheet.document.calls.last(), QStringLiteral("abandon"));
    }

    // The program closing while the application starts: the export ends at once, without waiting for the
    // start; the start finishes on the export's thread, which then abandons and lets go of the document.
    void closingDuringACallEndsTheExportAtOnceAndTheThreadAbandonsTheDocument()
    {
        class GatedApplication final : public SpreadsheetApplication
        {
        public:
            bool isInstalled() override { return true; }
            std::unique_ptr<Spreadsheet> addWorkbook() override
            {
                gate.wait();
                return inner.addWorkbook();
            }
            std::shared_future<void> gate;
            FakeSpreadsheetApplication inner;
        } gated;
        std::promise<void> open;
        gated.gate = open.get_future().share();
        ScriptedPrompter prompter;
        PlainPointer pointer;
        CountingEventPump counting;
        StoppingEventPump pump(counting, [&] { return counting.count() >= 3; });
        FakeClipboard clipboard;
        OutputCommands commands{prompter, pointer, pump, nullptr, clipboard, gated};
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        commands.PushButton13_Click(*results); // returns although the start has not ended
        QCOMPARE(gated.inner.workbooks, 0);
        QCOMPARE(prompter.shown().size(), 0);
        QCOMPARE(pointer.shape(), PointerShape::Default);

        open.set_value();
        QTRY_VERIFY(gated.inner.document.released);
        QVERIFY(gated.inner.document.abandoned);
        QCOMPARE(gated.inner.document.calls, QStringList{QStringLiteral("abandon")});
    }
};

QTEST_MAIN(TestSpreadsheetExport)
#include "test_spreadsheetexport.moc"
