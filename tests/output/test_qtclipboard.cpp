// Runs under Xvfb: the copied text must reach another X client while this program owns the clipboard.
#include "OutputFakes.h"
#include "QtClipboard.h"
#include "core/EventPump.h"
#include "model/TextListModel.h"
#include "output/ClipboardCopy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

// What another program reads from the clipboard in the given format (UTF-8 unless told). This program keeps
// serving its event loop meanwhile, as the window does, so that it can answer the other program's request.
QByteArray readByAnotherProgram(const QString& target = QString())
{
    QStringList arguments{QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")};
    if (!target.isEmpty())
        arguments << QStringLiteral("-t") << target;
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(QStringLiteral("xclip"), arguments);
    if (!finished.wait(20000))
        qFatal("xclip did not finish");
    return xclip.readAllStandardOutput();
}

} // namespace

class TestQtClipboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QFAIL("this test needs an X server (run it through xvfb-run)");
    }

    // The copied results reach other programs, which ask for plain text under several names; each must get the
    // text as it got it when the text was placed as a string.
    void everyPlainTextFormatGivesTheText_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("asUtf8");
        QTest::newRow("UTF8_STRING") << QStringLiteral("UTF8_STRING") << true;
        QTest::newRow("text/plain") << QStringLiteral("text/plain") << true;
        QTest::newRow("text/plain;charset=utf-8") << QStringLiteral("text/plain;charset=utf-8") << true;
        QTest::newRow("STRING, Latin-1 with ? for the rest") << QStringLiteral("STRING") << false;
        QTest::newRow("TEXT, as STRING") << QStringLiteral("TEXT") << false;
    }
    void everyPlainTextFormatGivesTheText()
    {
        QFETCH(QString, target);
        QFETCH(bool, asUtf8);
        const QString text = QStringLiteral("first result\r\ncaf\u00e9 \u20ac \U0001F600\r\n");
        const QByteArray expected = asUtf8 ? text.toUtf8() : text.toLatin1();
        const auto results = resultList({{{QStringLiteral("first result  ")}, true},
                                         {{QStringLiteral("unchecked")}, false},
                                         {{QStringLiteral("caf\u00e9 \u20ac \U0001F600")}, true}});
        QtClipboard clipboard;
        NoEventPump pump;
        copyListviewToClipboard(*results, clipboard, pump);
        QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
        QCOMPARE(readByAnotherProgram(target), expected);
        // Still there for the next program.
        QCOMPARE(readByAnotherProgram(target), expected);
        // This program's own readers get it as text too.
        QCOMPARE(QGuiApplication::clipboard()->text(), text);

        if (target.contains(QLatin1String("charset")))
            return; // a string is not offered under this name
        // Qt's own way with a string serves the same.
        QGuiApplication::clipboard()->setText(text);
        QCOMPARE(readByAnotherProgram(target), expected);
    }

    void largeCopyFromTheWindowsListReachesAnotherProgram()
    {
        // Far more than one X request carries: the text goes over in pieces.
        TextListModel results(TextListModel::Marks::Checkable);
        QStringList rows;
        QByteArray expected;
        for (int r = 0; r < 200000; ++r) {
            rows.append(
                QStringLiteral("result %1%2").arg(r).arg(r % 1000 == 0 ? QStringLiteral(" \u00fc") : QString()));
            expected += rows.last().toUtf8() + "\r\n";
        }
        results.append(rows, true);
        QtClipboard clipboard;
        NoEventPump pump;
        copyListviewToClipboard(results, clipboard, pump);
        QCOMPARE(readByAnotherProgram(QStringLiteral("UTF8_STRING")), expected);
    }

    void setTextReportsPlacedAndClearEmpties()
    {
        QtClipboard clipboard;
        QVERIFY(setClipboardUtf8Text(clipboard, "one"));
        QCOMPARE(readByAnotherProgram(), QByteArray("one"));
        QVERIFY(clipboard.clear());
        QVERIFY(!QGuiApplication::clipboard()->ownsClipboard());
        QVERIFY(setClipboardUtf8Text(clipboard, "two \xE2\x82\xAC"));
        QCOMPARE(readByAnotherProgram(), QByteArray("two \xE2\x82\xAC"));
        QVERIFY(clipboard.clear());
        QVERIFY(!QGuiApplication::clipboard()->ownsClipboard());
    }
};

QTEST_MAIN(TestQtClipboard)
#include "test_qtclipboard.moc"
