// Names the search cannot take whole: longer than its 16-bit counters allow, or with more splits than the
// window can list. The run reports each, goes on with the next name and keeps taking commands.
#include "MainWindow.h"
#include "WindowHarness.h"
#include "core/Pointer.h"

#include <QCheckBox>
#include <QFile>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

QString overflowReport(int length)
{
    return QStringLiteral("Overflow: a text of %1 characters is too long to split (at most 32766).\r\n"
                          "in Velmodra2021/08/31.Form1.PushButton9_Click at line 120\r\r"
                          "Please email screenshot of this message to support@quorvane.example")
        .arg(length);
}

// Peak resident memory in KiB since the last reset (VmHWM); -1 when the system does not tell.
qint64 peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

class TestHostileNames : public QObject
{
    Q_OBJECT

private slots:
    void overlongNamesAreReportedAndTheRunGoesOn()
    {
        WindowHarness harness;
        const QString folder =
            harness.makeApplicationFolder({QStringLiteral("dbWords.mdb"), QStringLiteral("suffix.lst")});
        testfiles::writeBytes(folder + QStringLiteral("/mit.col"), "sunset\r\nphotos\r\nbook\r\nstore\r\n");
        MainWindow& window = harness.load();
        auto* showOriginal = window.findChild<QCheckBox*>(QStringLiteral("Check5"));
        showOriginal->setChecked(false);

        const QString beyond = QStringLiteral("sunset").repeated(6667).left(40000);
        // Exactly at the limit: its one split is listed before the search reaches the whole text and fails.
        const QString atLimit = QStringLiteral("7") + QStringLiteral("sunset").repeated(5461);
        QCOMPARE(atLimit.size(), 32767);
        window.domainList().append({QStringLiteral("sunsetphotos.com"), beyond, QStringLiteral("bookstore.com"),
                                    atLimit, QStringLiteral("photos.com")});

        QList<int> reportedAtYield;
        harness.prompter.onShown = [&](const ScriptedPrompter::Shown&) {
            reportedAtYield.append(harness.pump.count());
        };
        // Between the overlong names the window still takes commands: the display option, clicked during the
        // yield before the third name, shapes the rows from that name on.
        harness.pump.onYield = [&](int yield) {
            if (yield == 3)
                showOriginal->click();
        };
        window.PushButton9_Click();

        QCOMPARE(harness.pump.count(), 5);
        QCOMPARE(harness.prompter.errorReports(), (QStringList{overflowReport(40000), overflowReport(32767)}));
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
        QCOMPARE(reportedAtYield, (QList<int>{2, 4, 5}));
        const QString atLimitSplit = QStringLiteral("7") + QStringLiteral(" sunset").repeated(5461);
        QCOMPARE(window.resultList().texts(),
                 (QStringList{QStringLiteral("sunset photos"), QStringLiteral("bookstore.com - book store"),
                              atLimit + QStringLiteral(" - ") + atLimitSplit, QStringLiteral("photos.com - photos")}));
        QCOMPARE(harness.storedSetting(QStringLiteral("Show ASIN")).toString(), QStringLiteral("1"));
        QCOMPARE(window.pointer().shape(), PointerShape::Default);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.grab().isNull());
    }

    void fortyDigitNameIsCutAtTheBoundAndTheUserToldOnce()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(false);
        const QString digits = QStringLiteral("1234567890").repeated(4);
        window.domainList().append({digits, QStringLiteral("sunsetphotos.com")});

        const bool measured = resetPeakMemory();
        const qint64 before = peakMemoryKiB();
        window.PushButton9_Click();
        const qint64 peak = peakMemoryKiB();

        QCOMPARE(harness.prompter.messages(),
                 (QStringList{QStringLiteral("1 name has more than 100,000 splits; only its first 100,000 are "
                                             "listed:\r\n") +
                                  digits,
                              QStringLiteral("Done.")}));
        QVERIFY(harness.prompter.errorReports().isEmpty());
        const QStringList rows = window.resultList().texts();
        QVERIFY(rows.size() > 100000);
        // Depth first, shortest pieces first: the first split takes the digits one by one.
        QStringList oneByOne;
        for (const QChar digit : digits)
            oneByOne.append(digit);
        QCOMPARE(rows.first(), oneByOne.join(QLatin1Char(' ')));
        QVERIFY(!rows[99999].contains(QLatin1Char('s')));
        QVERIFY(rows.mid(100000).contains(QStringLiteral("sunset photos")));
        // 2^39 splits would need terabytes; the bound keeps the run to a few tens of megabytes.
        if (measured && before > 0 && peak > 0)
            QVERIFY2(peak - before < 256 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(peak - before)));
    }

    void veryLongCutNameIsNamedByItsStartAndItsCount()
    {
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(false);
        // Its splits are 60,000 characters long each: memory, not the count, ends the list.
        const QString digits = QStringLiteral("9876543210").repeated(3000);
        window.domainList().append(digits);
        window.PushButton9_Click();
        const int listed = window.resultList().count();
        QVERIFY(listed > 0 && listed < 100000);
        QCOMPARE(harness.prompter.messages(),
                 (QStringList{QStringLiteral("1 name has more splits than can be listed; only its first are listed:"
                                             "\r\n") +
                                  digits.left(100) + QChar(0x2026) +
                                  QStringLiteral(" (%1 listed)").arg(QLocale(QLocale::English).toString(listed)),
                              QStringLiteral("Done.")}));
    }
};

QTEST_MAIN(TestHostileNames)
#include "test_hostilenames.moc"
