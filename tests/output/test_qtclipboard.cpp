// Runs under Xvfb: the copied text must reach another X client while this program owns the clipboard.
#include "OutputFakes.h"
#include "QtClipboard.h"
#include "core/EventPump.h"
#include "output/ClipboardCopy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::testing;

namespace {

// What another program reads from the clipboard, as UTF-8. This program keeps serving its event loop
// meanwhile, as the window does, so that it can answer the other program's request.
QByteArray readByAnotherProgram()
{
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
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

    void copiedResultsReachAnotherProgram()
    {
        const auto results = resultList({{{QStringLiteral("first result  ")}, true},
                                         {{QStringLiteral("unchecked")}, false},
                                         {{QStringLiteral("café €")}, true}});
        QtClipboard clipboard;
        NoEventPump pump;
        copyListviewToClipboard(*results, clipboard, pump);
        QVERIFY(QGuiApplication::clipboard()->ownsClipboard());
        QCOMPARE(readByAnotherProgram(), QStringLiteral("first result\r\ncafé €\r\n").toUtf8());
        // Still there for the next program.
        QCOMPARE(readByAnotherProgram(), QStringLiteral("first result\r\ncafé €\r\n").toUtf8());
    }

    void setTextReportsPlacedAndClearEmpties()
    {
        QtClipboard clipboard;
        QVERIFY(setClipboardText(clipboard, QStringLiteral("one")));
        QCOMPARE(readByAnotherProgram(), QByteArray("one"));
        QVERIFY(clipboard.clear());
        QVERIFY(!QGuiApplication::clipboard()->ownsClipboard());
    }
};

QTEST_MAIN(TestQtClipboard)
#include "test_qtclipboard.moc"
