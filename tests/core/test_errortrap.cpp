#include "ScriptedPrompter.h"
#include "core/ErrorTrap.h"
#include "core/Locations.h"

#include <QtTest>

using namespace quorvane;

namespace {

// An untrapped helper: it only throws, and the calling procedure reports.
void failingHelper()
{
    throw Failure(QStringLiteral("Helper broke"));
}

// A prompter without boxes that words failed steps its own way.
class WordingPrompter final : public Prompter
{
public:
    void message(const QString&) override {}
    void errorReport(const QString& text) override { boxes.append(text); }
    void stepFailed(const QString& description, const QString& location, int step) override
    {
        failures.append(QStringLiteral("%1|%2|%3").arg(description, location, QString::number(step)));
    }
    QString inputBox(const QString&) override { return QString(); }
    QStringList openFileNames(const FileDialogOptions&) override { return QStringList(); }
    QString saveFileName(const FileDialogOptions&) override { return QString(); }

    QStringList boxes;
    QStringList failures;
};

} // namespace

class TestErrorTrap : public QObject
{
    Q_OBJECT

private slots:
    void reportTextHasEveryPart()
    {
        const QString text = errorReportText(QStringLiteral("Disk full"), location::formLoad, 138);
        QCOMPARE(text, QStringLiteral("Disk full\r\nin Velmodra2021/08/31.Form1.Form_Load at line 138\r\r"
                                      "Please email screenshot of this message to support@quorvane.example"));
    }

    void singleStepProcedureReportsStep100()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::wordListHelpClick, prompter);
        trap.step(100, [] { throw Failure(QStringLiteral("Boom")); });
        QCOMPARE(prompter.errorReports(),
                 QStringList{QStringLiteral("Boom\r\nin Velmodra2021/08/31.Form1.PushButton10_Click at line 100\r\r"
                                            "Please email screenshot of this message to support@quorvane.example")});
    }

    // A prompter may word the report itself: it gets the parts, and no report box is shown.
    void failedStepReachesAPrompterThatWordsItsOwnReports()
    {
        WordingPrompter prompter;
        ErrorTrap trap(location::loadWords, prompter);
        trap.step(130, [] { throw Failure(QStringLiteral("Boom")); });
        QCOMPARE(prompter.failures,
                 QStringList{QStringLiteral("Boom|") + location::loadWords + QStringLiteral("|130")});
        QCOMPARE(prompter.boxes, QStringList());
        QCOMPARE(trap.reportCount(), 1);
    }

    void twoFailuresGiveTwoReportsInStepOrderAndTheProcedureGoesOn()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::startSplittingClick, prompter);
        QStringList ran;
        trap.step(100, [&] { ran << QStringLiteral("100"); });
        trap.step(102, [&] { throw Failure(QStringLiteral("first")); });
        trap.step(104, [&] { ran << QStringLiteral("104"); });
        trap.step(106, [&] { throw Failure(QStringLiteral("second")); });
        trap.step(108, [&] { ran << QStringLiteral("108"); });
        QCOMPARE(ran, (QStringList{QStringLiteral("100"), QStringLiteral("104"), QStringLiteral("108")}));
        const QStringList reports = prompter.errorReports();
        QCOMPARE(reports.size(), 2);
        QVERIFY(reports[0].startsWith(QStringLiteral("first\r\n")));
        QVERIFY(reports[0].contains(QStringLiteral("at line 102\r\r")));
        QVERIFY(reports[1].startsWith(QStringLiteral("second\r\n")));
        QVERIFY(reports[1].contains(QStringLiteral("at line 106\r\r")));
        QCOMPARE(trap.reportCount(), 2);
    }

    void failureInsideHelperReportsCallersLocationAndStep()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::formLoad, prompter);
        trap.step(100, [] {});
        trap.step(116, [] { failingHelper(); });
        QCOMPARE(prompter.errorReports().size(), 1);
        QVERIFY(prompter.errorReports()[0].startsWith(
            QStringLiteral("Helper broke\r\nin Velmodra2021/08/31.Form1.Form_Load at line 116")));
    }

    void failingBranchTestEntersTheBranch()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::loadDomainsClick, prompter);
        bool entered = false;
        if (trap.test(116, []() -> bool { throw Failure(QStringLiteral("test failed")); }))
            entered = true;
        QVERIFY(entered);
        QCOMPARE(prompter.errorReports().size(), 1);
        QVERIFY(prompter.errorReports()[0].contains(QStringLiteral("at line 116")));

        // A test that holds or fails normally is not reported.
        QVERIFY(!trap.test(118, [] { return false; }));
        QCOMPARE(prompter.errorReports().size(), 1);
    }

    void failingLoopEndLeavesTheLoop()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::loadDomainsClick, prompter);
        int i = 0;
        int bodies = 0;
        do {
            trap.step(134, [&] { ++bodies; });
        } while (trap.loopEnd(136, [&]() -> bool {
            if (++i == 3)
                throw Failure(QStringLiteral("count broke"));
            return i < 10;
        }));
        QCOMPARE(bodies, 3);
        QCOMPARE(prompter.errorReports().size(), 1);
        QVERIFY(prompter.errorReports()[0].contains(QStringLiteral("at line 136")));
    }

    void valueStepGivesFallbackOnFailure()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::formLoad, prompter);
        QCOMPARE(trap.value(116, 7, [] { return 3; }), 3);
        QCOMPARE(trap.value(118, 7, []() -> int { throw std::runtime_error("bad number"); }), 7);
        QCOMPARE(prompter.errorReports().size(), 1);
        QVERIFY(prompter.errorReports()[0].startsWith(QStringLiteral("bad number\r\n")));
    }

    void currentStepFollowsTheSteps()
    {
        ScriptedPrompter prompter;
        ErrorTrap trap(location::formLoad, prompter);
        trap.step(100, [&] { QCOMPARE(trap.currentStep(), 100); });
        trap.step(102, [&] { QCOMPARE(trap.currentStep(), 102); });
        QCOMPARE(prompter.shown().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestErrorTrap)
#include "test_errortrap.moc"
