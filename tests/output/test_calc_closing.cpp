// Closing the window while the spreadsheet export waits for the office ends the program within a second,
// whatever the office is doing. The window program runs in a process of its own (this test, started again),
// as main() runs it: the window, its event loop, then the program's end. The offices: one that answers
// nothing (a socket of the user's own at the pipe's path that takes the connection and never replies, so the
// export waits in the middle of joining it), and a windowless Calc busy with the export's writes, which must
// not be left holding the hidden document.
#include "MainWindow.h"
#include "ScriptedPrompter.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TestOffice.h"
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
#include <QUrl>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

using namespace quorvane;

namespace {

const char* const programMode = "--as-program";

QStringList windowlessOffice(const QString& profile)
{
    return {QStringLiteral("--headless"), QStringLiteral("--invisible"),
            QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString()};
}

// The office's document, which closes the window when the export reaches a phase: the writes past row
// 100,000, or the fitting of the columns after the last write.
class ClosingSheet final : public Spreadsheet
{
public:
    ClosingSheet(std::unique_ptr<Spreadsheet> sheet, bool atTheFit, std::function<void()> close)
        : m_sheet(std::move(sheet)), m_atTheFit(atTheFit), m_close(std::move(close))
    {}
    void setTexts(int row, int column, const QList<QStringList>& rows) override
    {
        if (!m_atTheFit && row >= 100000)
            closeOnce();
        m_sheet->setTexts(row, column, rows);
    }
    void autofitColumn(int column) override { m_sheet->autofitColumn(column); }
    void autofitAllColumns() override
    {
        if (m_atTheFit)
            closeOnce();
        m_sheet->autofitAllColumns();
    }
    QString show() override { return m_sheet->show(); }
    void abandon() override { m_sheet->abandon(); }

private:
    void closeOnce()
    {
        if (!std::exchange(m_closed, true))
            m_close();
    }

    std::unique_ptr<Spreadsheet> m_sheet;
    const bool m_atTheFit;
    std::function<void()> m_close;
    bool m_closed = false;
};

class ClosingCalc final : public SpreadsheetApplication
{
public:
    ClosingCalc(LibreOfficeCalc& calc, bool atTheFit, std::function<void()> close)
        : m_calc(calc), m_atTheFit(atTheFit), m_close(std::move(close))
    {}
    bool isInstalled() override { return m_calc.isInstalled(); }
    std::unique_ptr<Spreadsheet> addWorkbook() override
    {
        return std::make_unique<ClosingSheet>(m_calc.addWorkbook(), m_atTheFit, m_close);
    }
    void endAbandoned() override { m_calc.endAbandoned(); }

private:
    LibreOfficeCalc& m_calc;
    const bool m_atTheFit;
    std::function<void()> m_close;
};

// The window program's part: splits the samples and closes the window `when` milliseconds into the export
// (or, with an office profile, takes 300,000 result rows, starts that windowless office first and closes the
// window when the export reaches the phase `when` names: "writes" or "fit"). Says "closing" on standard
// output just before.
int runAsProgram(const QStringList& arguments)
{
    const QString& pipe = arguments.at(0);
    const QString& scratch = arguments.at(1);
    const QString& profile = arguments.at(2);
    const QString& when = arguments.at(3);
    ScriptedPrompter prompter;
    Settings settings(scratch + QStringLiteral("/settings.ini"));
    LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe,
                                    profile.isEmpty() ? QStringList() : windowlessOffice(profile), scratch);
    MainWindowSetup setup;
    setup.applicationFolder = testfiles::applicationFolder();
    setup.prompter = &prompter;
    setup.settings = &settings;
    MainWindow* shown = nullptr;
    const auto close = [&shown] {
        QMetaObject::invokeMethod(
            shown,
            [&shown] {
                [[maybe_unused]] const ssize_t said = ::write(STDOUT_FILENO, "closing\n", 8);
                shown->close();
            },
            Qt::QueuedConnection);
    };
    ClosingCalc closingCalc(calcApplication, when == QLatin1String("fit"), close);
    setup.spreadsheet = profile.isEmpty() ? static_cast<SpreadsheetApplication*>(&calcApplication) : &closingCalc;
    MainWindow window(setup);
    shown = &window;
    if (!window.Form_Load())
        return 3;
    window.show();
    if (profile.isEmpty()) {
        for (const char* button : {"PushButton7", "PushButton9"})
            window.findChild<QPushButton*>(QLatin1String(button))->click();
    } else {
        QStringList rows;
        for (int r = 0; r < 300000; ++r)
            rows.append(QStringLiteral("result%1").arg(r, 14, 10, QLatin1Char('0')));
        window.resultList().append(rows, true);
        calcApplication.addWorkbook()->abandon(); // the office runs before the export
    }
    QTimer::singleShot(0, &window, [&] { window.findChild<QPushButton*>(QStringLiteral("PushButton13"))->click(); });
    if (profile.isEmpty())
        QTimer::singleShot(when.toInt(), &window, close);
    const int status = QApplication::exec();
    SpreadsheetThread::endAbandonedExports(*setup.spreadsheet);
    return status;
}

// Runs the program, and returns how many milliseconds after its "closing" it ended (-1: it did not).
qint64 closeProgram(const QStringList& arguments, QByteArray& errors)
{
    QProcess program;
    program.start(QCoreApplication::applicationFilePath(), QStringList{QLatin1String(programMode)} + arguments);
    if (!program.waitForStarted())
        return -1;
    QByteArray output;
    while (!output.contains("closing\n") && program.state() == QProcess::Running) {
        program.waitForReadyRead(100);
        output += program.readAllStandardOutput();
    }
    QElapsedTimer sinceClose;
    sinceClose.start();
    const bool ended = output.contains("closing\n") && program.waitForFinished(10000);
    const qint64 took = sinceClose.elapsed();
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
    errors = program.readAllStandardError();
    if (!ended || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return -1;
    qInfo("the program ended %lld ms after the close", took);
    return took;
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

        QByteArray errors;
        const qint64 took = closeProgram({pipe, scratch.path(), QString(), QStringLiteral("1500")}, errors);
        QVERIFY2(took >= 0 && took < 1000,
                 qPrintable(
                     QStringLiteral("ended %1 ms after the close; %2").arg(took).arg(QString::fromLocal8Bit(errors))));
        // The close stored the DomainList as always.
        QSettings stored(scratch.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        QVERIFY(!stored.value(QStringLiteral("Quorvane/Zip Codes")).toString().isEmpty());
    }

    // A windowless office that the program started, in the middle of the writes, or later of the fitting or
    // the save: the program ends within a second, and the document it was filling, which nobody could see,
    // does not stay behind in the office (which ends with it, as it holds nothing else), nor do a save's files.
    void closingDuringAnExportToAWindowlessOfficeLeavesNoHiddenDocument_data()
    {
        QTest::addColumn<QString>("closeAt");
        QTest::newRow("during the writes") << QStringLiteral("writes");
        QTest::newRow("after the writes") << QStringLiteral("fit");
    }

    void closingDuringAnExportToAWindowlessOfficeLeavesNoHiddenDocument()
    {
        QFETCH(QString, closeAt);
        const QString programFolder = LibreOfficeCalc::findProgramFolder();
        QVERIFY2(!programFolder.isEmpty(), "LibreOffice Calc is not installed (tools/install-deps.sh)");
        QTemporaryDir scratch;
        QTemporaryDir profile;
        const QString pipe = QStringLiteral("quorvane-closing-%1").arg(QCoreApplication::applicationPid());
        const CalcConnection connection{programFolder, pipe, windowlessOffice(profile.path())};
        const testoffice::OfficeEnding ending(connection, connection.extraArguments.last().toUtf8());

        QByteArray errors;
        const qint64 took = closeProgram({pipe, scratch.path(), profile.path(), closeAt}, errors);
        QVERIFY2(took >= 0 && took < 1000,
                 qPrintable(
                     QStringLiteral("ended %1 ms after the close; %2").arg(took).arg(QString::fromLocal8Bit(errors))));
        QCOMPARE(QDir(scratch.path())
                     .entryList({QStringLiteral("*.ods"), QStringLiteral("*.tmp"), QStringLiteral(".~lock*")},
                                QDir::Files | QDir::Hidden),
                 QStringList());
        if (testoffice::processRuns(connection.extraArguments.last().toUtf8())) { // its profile
            calc::UnoOffice office(connection, calc::UnoOffice::Start::Never);
            QCOMPARE(testoffice::calcDocuments(office).size(), 0);
            office.release();
        } else {
            QVERIFY(!QFileInfo::exists(OfficePipe::socketPath(pipe))); // no socket outlives its office
        }
    }
};

int main(int argc, char** argv)
{
    if (argc == 6 && qstrcmp(argv[1], programMode) == 0) {
        QApplication application(argc, argv);
        return runAsProgram(QCoreApplication::arguments().mid(2));
    }
    QCoreApplication application(argc, argv);
    TestCalcClosing test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_calc_closing.moc"
