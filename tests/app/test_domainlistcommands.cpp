#include "MainWindow.h"
#include "WindowHarness.h"
#include "core/Pointer.h"
#include "input/DomainListInput.h"
#include "model/TextListModel.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QTableView>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

QTableView* listView(MainWindow& window, const char* name)
{
    return window.findChild<QTableView*>(QString::fromLatin1(name));
}

void select(QTableView* view, int row)
{
    view->setCurrentIndex(view->model()->index(row, 0));
}

void pressDelete(QTableView* view, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, modifiers);
    QCoreApplication::sendEvent(view, &press);
}

void doubleClick(QTableView* view)
{
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), view->viewport()->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &click);
}

} // namespace

class TestDomainListCommands : public QObject
{
    Q_OBJECT

private slots:
    void cancelledDialogChangesNothing()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(QStringLiteral("before.com"));
        window.PushButton3_Click();
        QCOMPARE(harness.prompter.shown().size(), 1);
        const FileDialogOptions dialog = harness.prompter.shown().first().dialog;
        QCOMPARE(dialog.title, QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"));
        QCOMPARE(dialog.filters,
                 (QStringList{QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")}));
        QCOMPARE(dialog.selectedFilter, 0);
        QCOMPARE(window.domainList().texts(), QStringList{QStringLiteral("before.com")});
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
    }

    void fileLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("three names ended by CR LF")
            << QByteArray("a.com\r\nb.com\r\nc.com\r\n") << QStringList{"a.com", "b.com", "c.com"};
        QTest::newRow("empty line between names is an empty entry")
            << QByteArray("a.com\r\n\r\nb.com") << QStringList{"a.com", "", "b.com"};
        QTest::newRow("lone LF ends a name") << QByteArray("a.com\nb.com\n") << QStringList{"a.com", "b.com"};
        QTest::newRow("lone CR ends a name") << QByteArray("a.com\rb.com") << QStringList{"a.com", "b.com"};
        QTest::newRow("empty file adds nothing") << QByteArray() << QStringList{};
        QTest::newRow("blanks are kept") << QByteArray(" a .com \r\n") << QStringList{" a .com "};
        QTest::newRow("byte-order mark read as three characters")
            << QByteArray("\xEF\xBB\xBF"
                          "a.com\r\n")
            << QStringList{QStringLiteral("\u00EF\u00BB\u00BF") + QStringLiteral("a.com")};
        QTest::newRow("Windows-1252 bytes") << QByteArray("caf\xE9.com\x80") << QStringList{"caf\u00E9.com\u20AC"};
    }

    void fileLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(QStringLiteral("existing.com"));
        const QString path = harness.temporaryPath(QStringLiteral("names.txt"));
        testfiles::writeBytes(path, bytes);
        harness.prompter.openAnswers.enqueue({path});
        harness.prompter.openAnswers.enqueue({path});
        window.PushButton3_Click();
        window.PushButton3_Click();
        QCOMPARE(window.domainList().texts(), QStringList{QStringLiteral("existing.com")} + entries + entries);
        QCOMPARE(harness.prompter.shown().size(), 2); // the two dialogs and nothing else
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
    }

    // A large file into the empty list reaches the view as a reset: the column keeps the width the user gave
    // it, every row is there, and removal works as on any list.
    void largeFileIntoTheEmptyList()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        QTableView* view = listView(window, "ListView1");
        view->horizontalHeader()->resizeSection(0, 321);
        QByteArray bytes;
        const int lines = int(TextListModel::resetAppendRows) + 10;
        for (int i = 0; i < lines; ++i)
            bytes += "name" + QByteArray::number(i) + "\x80.com\r\n";
        const QString path = harness.temporaryPath(QStringLiteral("many.txt"));
        testfiles::writeBytes(path, bytes);
        harness.prompter.openAnswers.enqueue({path});
        harness.prompter.openAnswers.enqueue({path});
        window.PushButton3_Click();
        QCOMPARE(window.domainList().count(), lines);
        QCOMPARE(view->verticalHeader()->count(), lines);
        QCOMPARE(view->horizontalHeader()->sectionSize(0), 321);
        const QModelIndex last = view->model()->index(lines - 1, 0);
        QCOMPARE(last.data().toString(), QStringLiteral("name%1\u20AC.com").arg(lines - 1));
        window.PushButton3_Click(); // appended to a list that has rows: an insertion
        QCOMPARE(view->verticalHeader()->count(), 2 * lines);
        select(view, 0);
        pressDelete(view);
        QCOMPARE(window.domainList().count(), 2 * lines - 1);
        QCOMPARE(window.domainList().text(0), QStringLiteral("name1\u20AC.com"));
        QCOMPARE(view->verticalHeader()->count(), 2 * lines - 1);
    }

    void severalFilesLoadInTheDialogsOrder()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QString first = harness.temporaryPath(QStringLiteral("z-first.txt"));
        const QString second = harness.temporaryPath(QStringLiteral("a-second.txt"));
        testfiles::writeBytes(first, "one.com\r\ntwo.com\r\n");
        testfiles::writeBytes(second, "three.com\r\n");
        harness.prompter.openAnswers.enqueue({first, second});
        window.PushButton3_Click();
        QCOMPARE(window.domainList().texts(),
                 (QStringList{QStringLiteral("one.com"), QStringLiteral("two.com"), QStringLiteral("three.com")}));
    }

    void pathsAreUsedAsTheDialogGivesThem()
    {
        // A file in the root folder comes back as "/name": no folder and name are joined, so no separator
        // can be doubled or lost.
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QString path = harness.temporaryPath(QStringLiteral("names.txt"));
        testfiles::writeBytes(path, "x.com\r\n");
        harness.prompter.openAnswers.enqueue({QStringLiteral("/") + path, path});
        window.PushButton3_Click();
        QCOMPARE(window.domainList().texts(), (QStringList{QStringLiteral("x.com"), QStringLiteral("x.com")}));
    }

    void missingAndUnreadableFilesAreReportedAndTheOthersLoad_data()
    {
        QTest::addColumn<bool>("several");
        QTest::newRow("one file: step 120") << false;
        QTest::newRow("among others: step 134") << true;
    }

    void missingAndUnreadableFilesAreReportedAndTheOthersLoad()
    {
        QFETCH(bool, several);
        WindowHarness harness;
        MainWindow& window = harness.load();
        const QString good = harness.temporaryPath(QStringLiteral("good.txt"));
        testfiles::writeBytes(good, "good.com\r\n");
        const QString folder = harness.temporaryPath(QStringLiteral("a-folder.txt"));
        QDir().mkpath(folder);
        const QString missing = harness.temporaryPath(QStringLiteral("missing.txt"));
        if (several) {
            harness.prompter.openAnswers.enqueue({good, folder, missing, good});
        } else {
            harness.prompter.openAnswers.enqueue({folder});
            harness.prompter.openAnswers.enqueue({missing});
        }
        window.PushButton3_Click();
        if (!several)
            window.PushButton3_Click();
        const QStringList reports = harness.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].contains(folder), qPrintable(reports[0]));
        QVERIFY(reports[0].contains(several ? QStringLiteral("PushButton3_Click at line 134")
                                            : QStringLiteral("PushButton3_Click at line 120")));
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("File not found")});
        const QStringList expected =
            several ? QStringList{QStringLiteral("good.com"), QStringLiteral("good.com")} : QStringList{};
        QCOMPARE(window.domainList().texts(), expected);
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
    }

    void addDomainName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("one name gains a trailing blank") << "example.com" << QStringList{"example.com "};
        QTest::newRow("two names joined with a comma") << "a.com b.com" << QStringList{"a.com, b.com "};
        QTest::newRow("three words: comma after the second") << "x y z" << QStringList{"x y, z "};
        QTest::newRow("two blanks: the empty piece takes no comma") << "x  z" << QStringList{"x z "};
        QTest::newRow("blanks around") << "  a.com  " << QStringList{"a.com "};
        QTest::newRow("a comma keeps the text unchanged") << " a.com,,b  c " << QStringList{" a.com,,b  c "};
        QTest::newRow("blanks only add nothing") << "   " << QStringList{};
        QTest::newRow("cancelled or empty adds nothing") << "" << QStringList{};
    }

    void addDomainName()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, entries);
        WindowHarness harness;
        MainWindow& window = harness.load();
        harness.prompter.inputAnswers.enqueue(typed);
        window.PushButton6_Click();
        QCOMPARE(harness.prompter.texts(ScriptedPrompter::Kind::InputBox),
                 QStringList{QStringLiteral("Enter domain to add: ")});
        QCOMPARE(window.domainList().texts(), entries);
    }

    void samplesTwiceGiveEightEntries()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.PushButton7_Click();
        window.PushButton7_Click();
        const QStringList samples = sampleDomains();
        QCOMPARE(samples.size(), 4);
        QCOMPARE(window.domainList().texts(), samples + samples);
        QVERIFY(samples[2].startsWith(QStringLiteral("http://www.")));
        QVERIFY(samples[3].startsWith(QStringLiteral("www.")));
        for (const QString& sample : samples)
            QVERIFY(sample.endsWith(QStringLiteral(".com")));
    }

    void samplesSplitIntoSensibleWords()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(false);
        window.PushButton7_Click();
        window.PushButton9_Click();
        const QStringList rows = window.resultList().texts();
        for (const char* expected : {"Blue Ocean Travel Guide", "sunset photos", "book store", "music festival"})
            QVERIFY2(rows.contains(QString::fromLatin1(expected)), expected);
    }

    void clearListEmptiesOnlyTheDomainList()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append({QStringLiteral("a"), QStringLiteral("b")});
        window.resultList().append(QStringLiteral("r"), true);
        window.PushButton1_Click();
        QCOMPARE(window.domainList().count(), 0);
        QCOMPARE(window.resultList().count(), 1);
    }

    void removal_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("byDoubleClick");
        QTest::newRow("DomainList, Delete") << "ListView1" << false;
        QTest::newRow("DomainList, double-click") << "ListView1" << true;
        QTest::newRow("ResultList, Delete") << "ListView2" << false;
        QTest::newRow("ResultList, double-click") << "ListView2" << true;
    }

    void removal()
    {
        QFETCH(QString, list);
        QFETCH(bool, byDoubleClick);
        WindowHarness harness;
        MainWindow& window = harness.load();
        QTableView* view = window.findChild<QTableView*>(list);
        TextListModel& model = list == QLatin1String("ListView1") ? window.domainList() : window.resultList();
        const auto remove = [&] {
            if (byDoubleClick)
                doubleClick(view);
            else
                pressDelete(view, Qt::ShiftModifier | Qt::ControlModifier);
        };

        remove(); // an empty list: nothing happens
        model.append({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, true);
        remove(); // nothing selected: nothing happens
        QCOMPARE(model.count(), 3);

        select(view, 1);
        window.pointer().setShape(PointerShape::Busy);
        remove();
        QCOMPARE(model.count(), 3);

        window.pointer().setShape(PointerShape::Default);
        remove();
        QCOMPARE(model.texts(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
        // The entry after the removed one moved up to its number and is the selected one now.
        QCOMPARE(view->selectionModel()->selectedRows().value(0).row(), 1);
        remove();
        QCOMPARE(model.texts(), QStringList{QStringLiteral("a")});
        QVERIFY(harness.prompter.shown().isEmpty());
    }

    void otherKeysRemoveNothing()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(QStringLiteral("a"));
        QTableView* view = listView(window, "ListView1");
        select(view, 0);
        QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &backspace);
        QCOMPARE(window.domainList().count(), 1);
    }

    void clearListDoesNothingWhileBusy()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(QStringLiteral("a"));
        window.pointer().setShape(PointerShape::Busy);
        window.PushButton1_Click();
        QCOMPARE(window.domainList().count(), 1);
    }

    void addingCommandsIgnoreTheBusyPointer()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.pointer().setShape(PointerShape::Busy);
        harness.prompter.inputAnswers.enqueue(QStringLiteral("typed.com"));
        window.PushButton6_Click();
        window.PushButton7_Click();
        QCOMPARE(window.domainList().count(), 5);
    }
};

QTEST_MAIN(TestDomainListCommands)
#include "test_domainlistcommands.moc"
