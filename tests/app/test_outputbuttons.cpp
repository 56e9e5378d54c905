// The four result buttons of the window reach their commands with the ResultList, the window's progress bar
// and its pointer.
#include "../output/OutputFakes.h"
#include "WindowHarness.h"
#include "core/Pointer.h"
#include "output/SpreadsheetThread.h"

#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;
using namespace quorvane::testwindow;

namespace {

// Appends numbered result rows, enough for an export to yield several times, and returns them.
QStringList appendResults(MainWindow& window, int count)
{
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows.append(QStringLiteral("result %1").arg(i));
    window.resultList().append(rows, true);
    return rows;
}

void click(MainWindow& window, const char* button)
{
    QPushButton* found = window.findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(found, button);
    found->click();
}

} // namespace

class TestOutputButtons : public QObject
{
    Q_OBJECT

private slots:
    void resultButtonsActOnTheResultList()
    {
        WindowHarness harness;
        FakeClipboard clipboard;
        FakeSpreadsheetApplication spreadsheet;
        harness.clipboard = &clipboard;
        harness.spreadsheet = &spreadsheet;
        MainWindow& window = harness.load();
        window.resultList().append(QStringList{QStringLiteral("red box"), QStringLiteral("redbox")}, true);
        window.resultList().setChecked(1, false);
        harness.prompter.clear();

        click(window, "PushButton5");
        QCOMPARE(clipboard.content, QStringLiteral("red box\r\n"));
        QCOMPARE(harness.prompter.messages().size(), 1);

        const QString path = harness.temporaryPath(QStringLiteral("results.txt"));
        harness.prompter.saveAnswers.enqueue(path);
        click(window, "PushButton4");
        QCOMPARE(testfiles::readBytes(path), QByteArray("Results\t\r\nred box\t\r\n"));
        QProgressBar* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QVERIFY(bar);
        QCOMPARE(bar->value(), 0);

        click(window, "PushButton13");
        QCOMPARE(spreadsheet.document.cells.value({1, 0}), QStringLiteral("red box"));
        QVERIFY(!spreadsheet.document.cells.contains({2, 0}));
        QVERIFY(spreadsheet.document.shown);
        QCOMPARE(window.pointer().shape(), PointerShape::Default);

        click(window, "PushButton2");
        QCOMPARE(window.resultList().count(), 0);
        QCOMPARE(harness.prompter.errorReports(), QStringList());
    }

    // The window closes while a command is in one of its yields: the command stops at its next yield,
    // changes nothing more, and the DomainList is stored as on any close.
    void closingDuringACommandStopsIt_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("text export") << QStringLiteral("PushButton4");
        QTest::newRow("clipboard copy") << QStringLiteral("PushButton5");
        QTest::newRow("spreadsheet export") << QStringLiteral("PushButton13");
    }

    void closingDuringACommandStopsIt()
    {
        QFETCH(QString, button);
        WindowHarness harness;
        FakeClipboard clipboard;
        FakeSpreadsheetApplication spreadsheet;
        harness.clipboard = &clipboard;
        harness.spreadsheet = &spreadsheet;
        // The export's thread may finish its last call on the fake after the close: wait for it, as the
        // program's end does, before the fake goes.
        const auto waitForTheExport = qScopeGuard([] { SpreadsheetThread::waitForAbandonedExports(10000); });
        MainWindow& window = harness.load();
        window.show();
        window.domainList().append(QStringList{QStringLiteral("kept.com"), QStringLiteral("also.com")});
        // Enough rows for the text export's runs and the spreadsheet's blocks to yield several times.
        appendResults(window, 50000);
        harness.prompter.clear();

        const QString folder = harness.temporaryPath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/results.txt");
        testfiles::writeBytes(path, "the old file\r\n");
        harness.prompter.saveAnswers.enqueue(path);

        int closedAt = 0;
        harness.pump.onYield = [&](int yieldNumber) {
            if (yieldNumber == 3) {
                closedAt = yieldNumber;
                window.close();
            }
        };
        click(window, qPrintable(button));

        QCOMPARE(closedAt, 3);
        QCOMPARE(harness.pump.count(), 3); // not one yield after the close
        QVERIFY(!window.isVisible());
        QCOMPARE(harness.storedSetting(QStringLiteral("Zip Codes")).toString(), QStringLiteral("kept.com;also.com"));
        QCOMPARE(testfiles::readBytes(path), QByteArray("the old file\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"results.txt"});
        QCOMPARE(clipboard.content, QStringLiteral("old content"));
        QVERIFY(!spreadsheet.document.shown);
        QCOMPARE(harness.prompter.messages(), QStringList()); // no confirmation
        QCOMPARE(harness.prompter.errorReports(), QStringList());
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
        QCOMPARE(window.resultList().count(), 50000);
    }

    // "Start Splitting", "Clear Results" and Delete during an export's yield are refused with a message: the
    // export ends with the whole list it started with, and the list is unchanged.
    void changingTheResultsDuringAnExportIsRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("exportButton");
        for (const char* command : {"PushButton9", "PushButton2", "Delete"}) {
            QTest::addRow("%s during the spreadsheet export", command) << command << QStringLiteral("PushButton13");
            QTest::addRow("%s during the clipboard copy", command) << command << QStringLiteral("PushButton5");
        }
    }

    void changingTheResultsDuringAnExportIsRefused()
    {
        QFETCH(QString, command);
        QFETCH(QString, exportButton);
        WindowHarness harness;
        FakeClipboard clipboard;
        FakeSpreadsheetApplication spreadsheet;
        harness.clipboard = &clipboard;
        harness.spreadsheet = &spreadsheet;
        MainWindow& window = harness.load();
        window.domainList().append(QStringList{QStringLiteral("redbox.com")});
        const QStringList rows = appendResults(window, 50000);
        harness.prompter.clear();
        auto* results = window.findChild<QTableView*>(QStringLiteral("ListView2"));
        results->selectRow(0);
        harness.pump.onYield = [&](int yieldNumber) {
            if (yieldNumber != 3)
                return;
            window.pointer().setShape(PointerShape::Default); // the copy shows no busy pointer either
            if (command == QStringLiteral("Delete"))
                QTest::keyClick(results, Qt::Key_Delete);
            else
                click(window, qPrintable(command));
        };
        click(window, qPrintable(exportButton));
        QCOMPARE(harness.prompter.errorReports(), QStringList());
        QVERIFY(harness.prompter.messages().contains(
            QStringLiteral("The results are being exported. Wait until the export is done, then try again.")));
        QCOMPARE(window.resultList().texts(), rows);
        if (exportButton == QStringLiteral("PushButton13"))
            QCOMPARE(spreadsheet.document.cells.size(), rows.size() + 1);
        else
            QCOMPARE(clipboard.content.count(QLatin1Char('\n')), rows.size());
    }

    // A caption holding what QProgressBar's format would replace is shown as it is.
    void progressCaptionIsShownLiterally()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.resultList().append(QStringList{QStringLiteral("a"), QStringLiteral("b")}, true);
        QProgressBar* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QVERIFY(bar);
        const QString name = QStringLiteral("100%p of %v in %m %%.txt");
        harness.prompter.saveAnswers.enqueue(harness.temporaryPath(name));
        QStringList captions;
        harness.pump.onYield = [&](int) { captions.append(bar->text()); };
        click(window, "PushButton4");
        QVERIFY2(captions.contains(QStringLiteral("Writing file: ") + name), qPrintable(captions.join(u'|')));
        QCOMPARE(bar->text(), QStringLiteral("Progress Bar"));
    }
};

QTEST_MAIN(TestOutputButtons)
#include "test_outputbuttons.moc"
