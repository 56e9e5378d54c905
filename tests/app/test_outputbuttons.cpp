// The four result buttons of the window reach their commands with the ResultList, the window's progress bar
// and its pointer.
#include "../output/OutputFakes.h"
#include "WindowHarness.h"
#include "core/Pointer.h"

#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;
using namespace quorvane::testwindow;

namespace {

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
};

QTEST_MAIN(TestOutputButtons)
#include "test_outputbuttons.moc"
