#include "MainWindow.h"
#include "ReferenceRows.h"
#include "WindowHarness.h"
#include "core/Pointer.h"
#include "input/DomainListInput.h"

#include <QAction>
#include <QCheckBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

QProgressBar* progressBar(MainWindow& window)
{
    return window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
}

void setShowOriginal(MainWindow& window, bool shown)
{
    window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(shown);
}

QList<bool> marks(const TextListModel& list)
{
    QList<bool> result;
    for (int row = 0; row < list.count(); ++row)
        result.append(list.isChecked(row));
    return result;
}

} // namespace

class TestSplittingRun : public QObject
{
    Q_OBJECT

private slots:
    void progressBeforeEachEntryThenRestAndDone()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(
            {QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com"), QStringLiteral("d.com")});
        QList<int> progress;
        QList<PointerShape> pointers;
        harness.pump.onYield = [&](int) {
            progress.append(progressBar(window)->value());
            pointers.append(window.pointer().shape());
        };
        window.PushButton9_Click();
        QCOMPARE(progress, (QList<int>{25, 50, 75, 100}));
        // The busy pointer comes after the first yield, so commands that test it still act during that one.
        QCOMPARE(pointers, (QList<PointerShape>{PointerShape::Default, PointerShape::Busy, PointerShape::Busy,
                                                PointerShape::Busy}));
        QCOMPARE(progressBar(window)->value(), 0);
        QCOMPARE(progressBar(window)->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }

    void emptyDomainListSaysSoAndLeavesTheResults()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.resultList().append(QStringLiteral("kept"), true);
        progressBar(window)->setValue(40);
        window.PushButton9_Click();
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("No domains added.")});
        QCOMPARE(window.resultList().texts(), QStringList{QStringLiteral("kept")});
        QCOMPARE(progressBar(window)->value(), 40);
        QCOMPARE(harness.pump.count(), 0);
    }

    void namesThatSplitIntoNothingClearTheResultsAndStillSayDone()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.resultList().append(QStringLiteral("from before"), true);
        window.domainList().append({QStringLiteral("qzxqzxqzx.com"), QStringLiteral("xqxqxqxq")});
        window.PushButton9_Click();
        QCOMPARE(window.resultList().count(), 0);
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
    }

    void rowsOfOneEntryArriveInOneInsertion()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(
            {QStringLiteral("sunsetphotos.com"), QStringLiteral("qzxqzx"), QStringLiteral("www.musicfestival.com")});
        QSignalSpy inserted(&window.resultList(), &QAbstractItemModel::rowsInserted);
        window.PushButton9_Click();
        QCOMPARE(inserted.count(), 2);
        QVERIFY(window.resultList().count() > 2);
    }

    void secondStartDuringTheRunIsIgnored()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append({QStringLiteral("sunsetphotos.com"), QStringLiteral("bookstore.com")});
        harness.pump.onYield = [&](int) { window.PushButton9_Click(); };
        window.PushButton9_Click();
        QCOMPARE(harness.pump.count(), 2);
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
    }

    void busyPointerHoldsOffClearingAndRemovalDuringTheRun()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append({QStringLiteral("sunsetphotos.com"), QStringLiteral("bookstore.com")});
        harness.pump.onYield = [&](int yield) {
            if (yield == 2)
                window.PushButton1_Click();
        };
        window.PushButton9_Click();
        QCOMPARE(window.domainList().count(), 2);
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }

    void entriesRemovedDuringTheFirstYieldAreReportedAndTheRunFinishes()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append({QStringLiteral("sunsetphotos.com"), QStringLiteral("bookstore.com")});
        harness.pump.onYield = [&](int yield) {
            if (yield == 1)
                window.PushButton1_Click();
        };
        window.PushButton9_Click();
        const QStringList reports = harness.prompter.errorReports();
        QVERIFY(!reports.isEmpty());
        for (const QString& report : reports)
            QVERIFY(report.contains(QStringLiteral("Form1.PushButton9_Click at line ")));
        QCOMPARE(window.resultList().count(), 0);
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
    }

    void closingDuringTheRunStoresTheListAndEndsTheRun()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append({QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")});
        harness.pump.onYield = [&](int yield) {
            if (yield == 2)
                window.close();
        };
        window.PushButton9_Click();
        QCOMPARE(harness.pump.count(), 2);
        QVERIFY(harness.prompter.messages().isEmpty());
        QCOMPARE(harness.storedSetting(QStringLiteral("Zip Codes")).toString(), QStringLiteral("a.com;b.com;c.com"));
    }

    void namesCutByTheBoundAreNamedBeforeDone()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        setShowOriginal(window, false);
        const QString digits = QStringLiteral("123456789012345678901");
        window.domainList().append({digits, QStringLiteral("sunsetphotos.com")});
        window.PushButton9_Click();
        const QStringList messages = harness.prompter.messages();
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].contains(QStringLiteral("100,000")));
        QVERIFY(messages[0].contains(digits));
        QVERIFY(!messages[0].contains(QStringLiteral("sunsetphotos")));
        QCOMPARE(messages[1], QStringLiteral("Done."));
        QVERIFY(window.resultList().texts().contains(QStringLiteral("sunset photos")));
    }

    void theResultsShowTheirLastRowAfterTheRun_data()
    {
        QTest::addColumn<int>("repeats");
        QTest::newRow("a few rows, appended to the list") << 10;
        QTest::newRow("thousands of rows, a reset of the list") << 1000;
    }

    void theResultsShowTheirLastRowAfterTheRun()
    {
        QFETCH(int, repeats);
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int k = 0; k < repeats; ++k)
            window.domainList().append(QStringLiteral("bestcheapflightsonline.com"));
        window.domainList().append(QStringLiteral("sunsetphotos.com"));
        window.PushButton9_Click();
        QCoreApplication::processEvents();
        auto* view = window.findChild<QTableView*>(QStringLiteral("ListView2"));
        const QModelIndex last = window.resultList().index(window.resultList().count() - 1, 0);
        QVERIFY(window.resultList().count() > 20);
        QVERIFY(view->viewport()->rect().intersects(view->visualRect(last)));
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    }

    // The jobs split ahead of the window; a command in a yield still changes the rows from the next entry on.
    void commandsDuringAYieldTakeEffectFromTheNextEntry()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        setShowOriginal(window, false);
        window.domainList().append(
            {QStringLiteral("sunsetphotos.com"), QStringLiteral("bookstore.com"), QStringLiteral("carpet.com")});
        harness.pump.onYield = [&](int yield) {
            if (yield == 2) {
                setShowOriginal(window, true);
                window.findChild<QRadioButton*>(QStringLiteral("LikeliestSplits"))->click();
            }
            if (yield == 3) {
                window.domainList().remove(0);
                window.domainList().append(QStringLiteral("sunsetphotos.com"));
            }
        };
        window.PushButton9_Click();
        const QStringList rows = window.resultList().texts();
        QVERIFY(rows.contains(QStringLiteral("sunset photos")));
        QVERIFY(rows.filter(QStringLiteral(" - ")).size() == 2); // the likeliest split alone from then on
        QVERIFY(rows.contains(QStringLiteral("bookstore.com - book store")));
        // After the removal the third place holds the name appended during the same yield.
        QVERIFY(rows.contains(QStringLiteral("sunsetphotos.com - sunset photos")));
        QVERIFY(!rows.join(QLatin1Char('|')).contains(QStringLiteral("carpet")));
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }

    // The jobs stop before the words are loaded anew, and split the entries after the yield with the new words.
    void aWordListChosenDuringAYieldSplitsTheRestWithItsWords()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        setShowOriginal(window, false);
        const QStringList names = {QStringLiteral("  sunsetphotos.com  "), QStringLiteral("bestcheapflightsonline.com"),
                                   QStringLiteral("musicfestivaltickets.com")};
        window.domainList().append(names);
        const QString folder = window.applicationFolder();
        const auto rowsOf = [&](const QString& name) {
            EntryProcessor processor(window.dictionary(), folder);
            return ReferenceRows(processor, folder, name, SplitOptions{}).rows;
        };
        const QStringList firstWithList3 = rowsOf(names[0]);
        const QStringList restWithList3 = rowsOf(names[1]) + rowsOf(names[2]);
        harness.pump.onYield = [&](int yield) {
            if (yield == 2)
                window.findChild<QRadioButton*>(QStringLiteral("Option2"))->click();
        };
        window.PushButton9_Click();
        const QStringList restWithList2 = rowsOf(names[1]) + rowsOf(names[2]);
        QVERIFY(restWithList2 != restWithList3);
        QCOMPARE(window.resultList().texts(), firstWithList3 + restWithList2);
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }

    // A suffix may hold a line feed (the list's lines end with CR LF), and the entry shown before each split then
    // does too: its rows are still told apart.
    void anEntryHoldingALineFeedKeepsItsRowsApart()
    {
        WindowHarness harness;
        const QString folder =
            harness.makeApplicationFolder({QStringLiteral("dbWords.mdb"), QStringLiteral("mit.col")});
        testfiles::writeBytes(folder + QStringLiteral("/suffix.lst"), "com\r\nco\nuk\r\n");
        MainWindow& window = harness.load();
        setShowOriginal(window, true);
        const QString entry = QStringLiteral("sunsetphotos.co\nuk");
        window.domainList().append({entry, QStringLiteral("bookstore.com")});
        window.PushButton9_Click();
        const QStringList rows = window.resultList().texts();
        QVERIFY(rows.contains(entry + QStringLiteral(" - sunset photos")));
        QVERIFY(rows.contains(QStringLiteral("bookstore.com - book store")));
        for (const QString& row : rows)
            QVERIFY2(row.startsWith(entry + QStringLiteral(" - ")) ||
                         row.startsWith(QStringLiteral("bookstore.com - ")),
                     qPrintable(row));
    }

    // One name file, read by the window and by quorvane-split: the same rows, in either order, with and without
    // the original, every row checked; and the likeliest splits on lists 1-3 with the user's choices or without.
    void theWindowAndTheBatchSplitterGiveTheSameRows_data()
    {
        QTest::addColumn<bool>("ranked");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("best");         // 0: every split
        QTest::addColumn<bool>("userChoices"); // case hints, and words added and dropped
        QTest::newRow("search order") << false << false << 3 << 0 << false;
        QTest::newRow("search order, original shown") << false << true << 3 << 0 << false;
        QTest::newRow("ranked") << true << false << 3 << 0 << false;
        QTest::newRow("ranked, original shown") << true << true << 3 << 0 << false;
        for (const int list : {1, 2, 3}) {
            QTest::addRow("list %d, likeliest", list) << false << true << list << 1 << false;
            QTest::addRow("list %d, best 3, case hints, words", list) << false << (list != 2) << list << 3 << true;
        }
    }

    void theWindowAndTheBatchSplitterGiveTheSameRows()
    {
        QFETCH(bool, ranked);
        QFETCH(bool, shown);
        QFETCH(int, list);
        QFETCH(int, best);
        QFETCH(bool, userChoices);
        WindowHarness harness;
        for (const auto& [key, value] : {std::pair{"Option", list},
                                         {"Likeliest Splits", int(best > 0)},
                                         {"Best Splits", best},
                                         {"Case Hints", int(userChoices)}})
            harness.presetSetting(QString::fromLatin1(key), QString::number(value));
        QStringList arguments = {QStringLiteral("--window-cleaning"), QStringLiteral("--encoding"),
                                 QStringLiteral("windows-1252"), QStringLiteral("-l"), QString::number(list)};
        if (best > 0)
            arguments += QStringLiteral("--best=%1").arg(best);
        if (userChoices) {
            const QString added = harness.temporaryPath(QStringLiteral("a.txt"));
            const QString dropped = harness.temporaryPath(QStringLiteral("d.txt"));
            testfiles::writeBytes(added, "patreon\nQzxq\n");
            testfiles::writeBytes(dropped, "shop\r\ncar\n");
            harness.presetSetting(QStringLiteral("Add Words"), added);
            harness.presetSetting(QStringLiteral("Drop Words"), dropped);
            arguments += {QStringLiteral("--case-hints"), QStringLiteral("--add-words"), added,
                          QStringLiteral("--drop-words"), dropped};
        }
        const QString path = harness.temporaryPath(QStringLiteral("names.txt"));
        {
            // Plain names, URLs, blanks, an empty line, a name that cleans to nothing, digits, 8-bit letters, a
            // name of many splits and one too long to split whole, in Windows-1252 as domain files are.
            QStringList names = {QStringLiteral("  sunsetphotos.com  "),
                                 QStringLiteral("http://www.bestcheapflightsonline.com/cheap-flights"),
                                 QStringLiteral("https://me@shop.com:8080/car%2Dpet?q=1#top"),
                                 QStringLiteral("  book store .net "),
                                 QString(),
                                 QStringLiteral("   "),
                                 QStringLiteral("www..com"),
                                 QStringLiteral("route66diner.com"),
                                 QStringLiteral("caf\u00e9paris.fr"),
                                 QStringLiteral("qzxqzxqzx.com"),
                                 QStringLiteral("123456789012345678901"),
                                 QStringLiteral("internationalbusinessmachinescorporation.com"),
                                 QString(70, QLatin1Char('a')) + QStringLiteral("table.com"),
                                 QStringLiteral("TVShowsOnDVD.com"),
                                 QStringLiteral("BlueOceanTravelGuide.com"),
                                 QStringLiteral("patreonqzxqcarshop.com")};
            for (int k = 0; k < 600; ++k)
                names.append(QStringLiteral("name%1shop.com").arg(k));
            testfiles::writeBytes(path, names.join(QStringLiteral("\r\n")).toLatin1());
        }
        MainWindow& window = harness.load();
        setShowOriginal(window, shown);
        window.findChild<QAction*>(QStringLiteral("RankResults"))->setChecked(ranked);
        addFileLinesToList(window.domainList(), path, harness.prompter);
        window.PushButton9_Click();
        const QStringList rows = window.resultList().texts();

        arguments += path;
        if (shown)
            arguments.prepend(QStringLiteral("-o"));
        if (ranked)
            arguments.prepend(QStringLiteral("--rank"));
        const QString program = testfiles::applicationFolder() + QStringLiteral("/quorvane-split");
        const auto splitter = testfiles::runProgram(program, arguments, QByteArray());
        QVERIFY(rows.size() > (best > 0 ? 600 : 700));
        QCOMPARE(rows.join(QLatin1Char('\n')).toUtf8() + '\n', splitter.out);
        // The entry as typed, trimmed, before its split; the rows themselves are tested on quorvane-split's.
        QVERIFY(rows.contains((shown ? QStringLiteral("sunsetphotos.com - ") : QString()) +
                              QStringLiteral("sunset photos")));
        QCOMPARE(marks(window.resultList()), QList<bool>(rows.size(), true));
        // A row stands out where quorvane-split's TSV gives a piece of its split a kind beyond the list.
        arguments += {QStringLiteral("--format"), QStringLiteral("tsv")};
        const QByteArrayList tsv = testfiles::runProgram(program, arguments, QByteArray()).out.split('\n');
        for (int row = 0; row < rows.size(); ++row) {
            const QByteArray kinds = tsv.value(row).split('\t').value(4);
            QCOMPARE(window.resultList().isFlagged(row), kinds.contains("letter") || kinds.contains("unknown"));
        }
    }
};

QTEST_MAIN(TestSplittingRun)
#include "test_splittingrun.moc"
