#include "MainWindow.h"
#include "ReferenceRows.h"
#include "WindowHarness.h"
#include "engine/EntryProcessor.h"

#include <QAction>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

QAction* rankEntry(MainWindow& window)
{
    auto* results = window.findChild<QTableView*>(QStringLiteral("ListView2"));
    for (QAction* action : results->actions()) {
        if (action->text() == QStringLiteral("Most Likely Splits First"))
            return action;
    }
    return nullptr;
}

// The rows the engine gives for the entry in the order asked, as the window shows them with the original.
QStringList engineRows(MainWindow& window, const QString& entry, SplitOrder order)
{
    EntryProcessor processor(window.dictionary(), window.applicationFolder());
    return ReferenceRows(processor, window.applicationFolder(), entry,
                         SplitOptions{true, Segmenter::defaultMaxCandidates, order})
        .rows;
}

template <typename Control> Control* find(WindowHarness& harness, const char* name)
{
    return harness.window().findChild<Control*>(QString::fromLatin1(name));
}

} // namespace

// "Most Likely Splits First", the likeliest splits and their settings, and the user's word files.
class TestRankResults : public QObject
{
    Q_OBJECT

private slots:
    // Its stored setting is tested with the window's other on/off choice (test_mainwindow).
    void entryOfTheResultsMenu()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        QAction* entry = rankEntry(window);
        QVERIFY(entry);
        QCOMPARE(entry->objectName(), QStringLiteral("RankResults"));
        QCOMPARE(window.findChild<QTableView*>(QStringLiteral("ListView2"))->contextMenuPolicy(),
                 Qt::ActionsContextMenu);
    }

    // On: each name's rows best first, names in list order; everything else about the run is unchanged.
    void rankedRunListsEachNameBestFirst()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(true);
        const QStringList names{QStringLiteral("sunsetphotos.com"), QStringLiteral("carpetsale.com"),
                                QStringLiteral("www.bluesky.net")};
        window.domainList().append(names);

        window.PushButton9_Click();
        QStringList searchOrder;
        for (const QString& name : names)
            searchOrder += engineRows(window, name, SplitOrder::Search);
        QCOMPARE(window.resultList().texts(), searchOrder);

        rankEntry(window)->trigger();
        harness.prompter.clear();
        window.PushButton9_Click();
        QStringList ranked;
        for (const QString& name : names)
            ranked += engineRows(window, name, SplitOrder::Ranked);
        QCOMPARE(window.resultList().texts(), ranked);
        QVERIFY(ranked != searchOrder); // the ranking changed the order of some name's rows
        QStringList sortedRanked = ranked, sortedSearch = searchOrder;
        sortedRanked.sort();
        sortedSearch.sort();
        QCOMPARE(sortedRanked, sortedSearch);
        for (int row = 0; row < window.resultList().count(); ++row)
            QVERIFY(window.resultList().isChecked(row));
        QCOMPARE(window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->value(), 0);
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
    }

    // A name cut by the bound keeps its best rows and is named as before "Done.".
    void cutNameNamedAsBefore()
    {
        WindowHarness harness;
        harness.presetSetting(QStringLiteral("Rank Results"), QStringLiteral("1"));
        MainWindow& window = harness.load();
        const QString digits = QStringLiteral("123456789012345678901");
        window.domainList().append({digits});
        window.PushButton9_Click();
        const QStringList messages = harness.prompter.messages();
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].contains(digits));
        QCOMPARE(messages[1], QStringLiteral("Done."));
        QCOMPARE(window.resultList().count(), int(Segmenter::defaultMaxCandidates));
        QCOMPARE(window.resultList().texts(), engineRows(window, digits, SplitOrder::Ranked));
    }

    // Word files change the list from the next load on and are read again at each load; one that cannot be read
    // is told of and changes nothing. They and the choices of splits are kept in the settings.
    void theUsersWordFiles()
    {
        WindowHarness harness;
        harness.presetSetting(QStringLiteral("Show ASIN"), QStringLiteral("0"));
        const QString added = harness.temporaryPath(QStringLiteral("added.txt"));
        const QString dropped = harness.temporaryPath(QStringLiteral("dropped.txt"));
        testfiles::writeBytes(added, "Qzxq\r\nvblorp\n");
        testfiles::writeBytes(dropped, "vblorp\n");
        harness.load();
        const auto choose = [&](const char* button, const QString& path) {
            harness.prompter.openAnswers.enqueue({path});
            find<QPushButton>(harness, button)->click();
        };
        const auto rows = [&] {
            harness.window().domainList().clear();
            harness.window().domainList().append(QStringLiteral("qzxqvblorp.com"));
            harness.window().PushButton9_Click();
            return harness.window().resultList().texts().join(QLatin1Char('|'));
        };
        choose("AddWords", harness.temporaryPath(QStringLiteral("missing.txt")));
        QVERIFY(harness.prompter.messages().value(0).contains(QStringLiteral("missing.txt")));
        QCOMPARE(rows(), QString());
        choose("AddWords", added);
        QCOMPARE(rows(), QStringLiteral("qzxq vblorp"));
        choose("DropWords", dropped);
        QCOMPARE(rows(), QString());
        // Loaded anew: the changed file is read again; the one gone is told of and its words stay dropped.
        testfiles::writeBytes(added, "qzxqvblorp\nqzxq\nvblorp\n");
        QVERIFY(QFile::remove(dropped));
        find<QRadioButton>(harness, "Option3")->click();
        QVERIFY(harness.prompter.messages().last().contains(dropped));
        QCOMPARE(rows(), QStringLiteral("qzxqvblorp"));
        QVERIFY(find<QCheckBox>(harness, "CaseHints")->isChecked()); // at first
        find<QRadioButton>(harness, "LikeliestSplits")->click();
        find<QSpinBox>(harness, "BestSplits")->setValue(4);
        find<QCheckBox>(harness, "CaseHints")->click();
        // Started anew, nothing was read from the file gone before.
        harness.destroy();
        harness.load();
        QVERIFY(find<QRadioButton>(harness, "LikeliestSplits")->isChecked());
        QVERIFY(find<QSpinBox>(harness, "BestSplits")->value() == 4 &&
                !find<QCheckBox>(harness, "CaseHints")->isChecked());
        find<QRadioButton>(harness, "EverySplit")->click();
        QCOMPARE(rows(), QStringLiteral("qzxq vblorp|qzxqvblorp"));
        find<QPushButton>(harness, "ForgetWords")->click();
        QCOMPARE(rows(), QString());
        // "Most Likely Splits First" in the frame is the context menu's entry.
        find<QCheckBox>(harness, "RankResultsBox")->click();
        QVERIFY(find<QAction>(harness, "RankResults")->isChecked());
    }
};

QTEST_MAIN(TestRankResults)
#include "test_rankresults.moc"
