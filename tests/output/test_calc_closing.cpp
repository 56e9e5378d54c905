// Closing the window while the spreadsheet export waits for the office ends the program within a second,
// whatever the office is doing. The window program runs in a process of its own (this test, started again),
// as main() runs it: the window, its event loop, then the program's end. The office here answers nothing: a
// socket of the user's own at the pipe's path that takes the connection and never replies, so the export
// waits in the middle of joining it.
#include "MainWindow.h"
#include "ScriptedPrompter.h"
#include "Settings.h"
#include "TestFiles.h"
#include "output/LibreOfficeCalc.h"
#include "output/OfficePipe.h"
#include "output/SpreadsheetThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorvane;

namespace {

const char* const programMode = "--as-program";

// The window program's part: loads the samples, splits them, starts the export, and closes the window a while
// into the export's wait. Says "closing" on standard output just before.
int runAsProgram(const QString& pipe, const QString& scratch)
{
    ScriptedPrompter prompter;
    Settings settings(scratch + QStringLiteral("/settings.ini"));
    LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe, {},
                                    scratch);
    MainWindowSetup setup;
    setup.applicationFolder = testfiles::applicationFolder();
    setup.prompter = &prompter;
    setup.settings = &settings;
    setup.spreadsheet = &calcApplication;
    MainWindow window(setup);
    if (!window.Form_Load())
        return 3;
    window.show();
    for (const char* button : {"PushButton7", "PushButton9"})
        window.findChild<QPushButton*>(QLatin1String(button))->click();
    QTimer::singleShot(0, &window, [&] { window.findChild<QPushButton*>(QStringLiteral("PushButton13"))->click(); });
    QTimer::singleShot(1500, &window, [&] {
        [[maybe_unused]] const ssize_t said = ::write(STDOUT_FILENO, "closing\n", 8);
        window.close();
    });
    const int status = QApplication::exec();
    SpreadsheetThread::waitForAbandonedExports(closingGraceMilliseconds);
    return status;
}

} // namespace

class TestCalcClosing : public QObject
{
    Q_OBJECT

private slots:
    void closingDuringTheOfficeWaitEndsTheProgramWithinASecond()
    {
        QVERIFY2(!LibreOfficeCalc::findProgramFolder().isEmpty(),
                 "LibreOffice Calc is not installed (tools/install-deps.sh)");
        QTemporaryDir scratch;
        const QString pipe = QStringLiteral("quorvane-silent-%1").arg(QCoreApplication::applicationPid());
        const QByteArray path = QFile::encodeName(OfficePipe::socketPath(pipe));
        const int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
        QVERIFY(::bind(silent, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0);
        const auto cleanUp = qScopeGuard([&] {
            ::close(silent);
            ::unlink(path.constData());
        });
        QVERIFY(::listen(silent, 8) == 0); // connections wait in the backlog, unanswered

        QProcess program;
        program.start(QCoreApplication::applicationFilePath(), {QLatin1String(programMode), pipe, scratch.path()});
        QVERIFY(program.waitForStarted());
        QByteArray output;
        while (!output.contains("closing\n") && program.state() == QProcess::Running) {
            program.waitForReadyRead(100);
            output += program.readAllStandardOutput();
        }
        QElapsedTimer sinceClose;
        sinceClose.start();
        QVERIFY2(output.contains("closing\n"), program.readAllStandardError().constData());
        const bool ended = program.waitForFinished(10000);
        const qint64 took = sinceClose.elapsed();
        qInfo("the program ended %lld ms after the close", took);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY2(ended && took < 1000, qPrintable(QStringLiteral("the program ended %1 ms after the close").arg(took)));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        // The close stored the DomainList as always.
        QSettings stored(scratch.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        QVERIFY(!stored.value(QStringLiteral("Quorvane/Zip Codes")).toString().isEmpty());
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], programMode) == 0) {
        QApplication application(argc, argv);
        return runAsProgram(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication application(argc, argv);
    TestCalcClosing test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_calc_closing.moc"
