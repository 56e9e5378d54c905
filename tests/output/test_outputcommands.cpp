#include "OutputFakes.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "core/EventPump.h"
#include "core/Pointer.h"
#include "output/OutputCommands.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

const QString confirmation = QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where "
                                            "you normally type and press Ctrl+V to paste the clipboard.");

struct Window
{
    ScriptedPrompter prompter;
    PlainPointer pointer;
    CountingEventPump pump;
    RecordingProgress progress;
    FakeClipboard clipboard;
    FakeSpreadsheetApplication spreadsheet;
    OutputCommands commands{prompter, pointer, pump, &progress, clipboard, spreadsheet};
};

} // namespace

class TestOutputCommands : public QObject
{
    Q_OBJECT

private slots:
    void saveDialogOffersTheTwoFilters()
    {
        Window window;
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        window.commands.PushButton4_Click(*results);
        QCOMPARE(window.prompter.shown().size(), 1);
        const auto& shown = window.prompter.shown().first();
        QCOMPARE(shown.kind, ScriptedPrompter::Kind::SaveFile);
        QCOMPARE(shown.dialog.title, QStringLiteral("Save"));
        QCOMPARE(shown.dialog.filters,
                 (QStringList{QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")}));
        QCOMPARE(shown.dialog.selectedFilter, 0);
        // Cancelled: nothing written, nothing shown, the pointer and the bar untouched.
        QCOMPARE(window.pointer.changes(), 0);
        QVERIFY(window.progress.changes.isEmpty());
    }

    void saveWritesUnderTheBusyPointerAndUsesTheNameAsTyped()
    {
        Window window;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("results"));
        window.prompter.saveAnswers.enqueue(path);
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        bool busyWhileWriting = false;
        window.pump.onYield = [&](int) { busyWhileWriting = window.pointer.isBusy(); };
        window.commands.PushButton4_Click(*results);
        QVERIFY(busyWhileWriting);
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("results")});
        QCOMPARE(testfiles::readBytes(path), QByteArray("Results\t\r\na      \t\r\n"));
        QCOMPARE(window.prompter.shown().size(), 1); // the dialog; no message on success
    }

    void saveFailureIsReportedByTheWriterAndThePointerComesBack()
    {
        Window window;
        QTemporaryDir dir;
        window.prompter.saveAnswers.enqueue(dir.filePath(QStringLiteral("missing/out.txt")));
        const auto results = resultList({{{QStringLiteral("a")}, true}});
        window.commands.PushButton4_Click(*results);
        const QStringList reports = window.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports[0].contains(QStringLiteral("Main.SaveListviewProperlySpaced at line 140")));
        QCOMPARE(window.pointer.shape(), PointerShape::Default);
    }

    void copyConfirmsInEveryCase_data()
    {
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("copied") << QList<Row>{{{QStringLiteral("ab ")}, true}} << QStringLiteral("ab\r\n");
        QTest::newRow("empty list: clipboard untouched") << QList<Row>{} << QStringLiteral("old content");
        QTest::newRow("nothing checked: clipboard emptied") << QList<Row>{{{QStringLiteral("x")}, false}} << QString();
    }
    void copyConfirmsInEveryCase()
    {
        QFETCH(QList<Row>, rows);
        QFETCH(QString, clipboard);
        Window window;
        const auto results = resultList(rows);
        window.commands.PushButton5_Click(*results);
        QCOMPARE(window.clipboard.content, clipboard);
        QCOMPARE(window.prompter.messages(), QStringList{confirmation});
        QCOMPARE(window.prompter.shown().size(), 1);
        QCOMPARE(window.pointer.changes(), 0);
    }

    void copyFailureIsReportedThenConfirmed()
    {
        Window window;
        const auto results = resultList({{{QStringLiteral("a")}, true}, {{QStringLiteral("b")}, true}});
        window.pump.onYield = [&](int yield) {
            if (yield == 1)
                results->removeRows(0, results->rowCount());
        };
        window.commands.PushButton5_Click(*results);
        const auto& shown = window.prompter.shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, ScriptedPrompter::Kind::ErrorReport);
        QVERIFY(shown[0].text.startsWith(
            QStringLiteral("Index out of bounds\r\nin Velmodra2021/08/31.Form1.PushButton5_Click at line 100\r\r")));
        QCOMPARE(shown[1].text, confirmation);
        QCOMPARE(window.clipboard.content, QStringLiteral("old content"));
    }

    void clearResultsEmptiesTheListOnly()
    {
        Window window;
        const auto results = resultList({{{QStringLiteral("a")}, true}, {{QStringLiteral("b")}, false}});
        window.commands.PushButton2_Click(*results);
        QCOMPARE(results->rowCount(), 0);
        window.commands.PushButton2_Click(*results); // an empty list: nothing happens
        QCOMPARE(window.prompter.shown().size(), 0);
        QCOMPARE(window.clipboard.clearAttempts + window.clipboard.setAttempts, 0);
        QVERIFY(window.progress.changes.isEmpty());
        QCOMPARE(window.pointer.changes(), 0);
    }
};

QTEST_MAIN(TestOutputCommands)
#include "test_outputcommands.moc"
