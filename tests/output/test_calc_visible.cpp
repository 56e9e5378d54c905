// Runs under Xvfb against a LibreOffice with windows (the desktop Calc package). The window program, in a
// process of its own, loads the samples, splits them and presses "Save Results As Excel File" as a user
// would, then closes. Afterwards this side joins the same office and checks that the results wait there in
// a new, unsaved document whose window is shown on the screen. Where only the windowless Calc is installed
// the test is skipped: such an office can show nothing.
#include "MainWindow.h"
#include "ScriptedPrompter.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TestOffice.h"
#include "UnoOffice.h"
#include "model/TextListModel.h"
#include "output/LibreOfficeCalc.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cstdio>

using namespace css;
using namespace quorvane;
using namespace quorvane::testoffice;

namespace {

const char* const programMode = "--as-program";

QStringList officeArguments(const QString& profile)
{
    return {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString()};
}

// The window program's part: the real window, shown, driven through its buttons. Prints the result rows, one
// per line, for the other side to find in the sheet; exits 0 when nothing was reported to the user.
int runAsProgram(const QString& pipe, const QString& profile, const QString& scratch)
{
    ScriptedPrompter prompter;
    Settings settings(scratch + QStringLiteral("/settings.ini"));
    LibreOfficeCalc calcApplication(testfiles::applicationFolder() + QStringLiteral("/libquorvane_calc.so"), pipe,
                                    officeArguments(profile));
    MainWindowSetup setup;
    setup.applicationFolder = testfiles::applicationFolder();
    setup.prompter = &prompter;
    setup.settings = &settings;
    setup.spreadsheet = &calcApplication;
    int status = 0;
    {
        MainWindow window(setup);
        if (!window.Form_Load())
            return 3;
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return 4;
        for (const char* button : {"PushButton7", "PushButton9", "PushButton13"})
            QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        // The run ends with its own "Done."; the export itself has nothing to say when it works.
        for (const auto& shown : prompter.shown()) {
            if (shown.text != QLatin1String("Done.") || prompter.shown().size() != 1) {
                std::fprintf(stderr, "shown: %s\n", qPrintable(shown.text));
                status = 5;
            }
        }
        const TextListModel& results = window.resultList();
        for (int row = 0; row < results.count(); ++row)
            std::printf("%s\n", results.text(row).toUtf8().constData());
        window.close();
    }
    std::fflush(stdout);
    return status;
}

// The top-level windows the X server shows (mapped and viewable), by name.
QStringList viewableWindowNames()
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    if (!tree.waitForFinished(20000))
        return {};
    QStringList names;
    const QStringList lines = QString::fromUtf8(tree.readAllStandardOutput()).split(QLatin1Char('\n'));
    static const QRegularExpression window(QStringLiteral("^\\s+(0x[0-9a-f]+) \"([^\"]*)\""));
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = window.match(line);
        if (!match.hasMatch())
            continue;
        QProcess info;
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), match.captured(1)});
        if (info.waitForFinished(20000) && info.readAllStandardOutput().contains("Map State: IsViewable"))
            names.append(match.captured(2));
    }
    return names;
}

long calcWindowCount()
{
    const QStringList shown = viewableWindowNames();
    return std::count_if(shown.begin(), shown.end(),
                         [](const QString& name) { return name.contains(QLatin1String("LibreOffice Calc")); });
}

} // namespace

class TestCalcVisible : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QFAIL("this test needs an X server (run it through xvfb-run)");
        QVERIFY2(!LibreOfficeCalc::findProgramFolder().isEmpty(),
                 "LibreOffice Calc is not installed (tools/install-deps.sh)");
    }

    void exportedDocumentIsShownUnsavedAndOutlivesTheProgram_data()
    {
        QTest::addColumn<bool>("officeAlreadyRuns");
        QTest::newRow("the export starts the office") << false;
        QTest::newRow("the user's office with its own document is left alone") << true;
    }

    void exportedDocumentIsShownUnsavedAndOutlivesTheProgram()
    {
        QFETCH(bool, officeAlreadyRuns);
        const QString programFolder = LibreOfficeCalc::findProgramFolder();
        QTemporaryDir profile;
        QTemporaryDir scratch;
        const QString pipe = QStringLiteral("quorvane-visible-%1").arg(QCoreApplication::applicationPid());
        // Every process of this test's office names its profile on its command line.
        const QByteArray officeMarker = officeArguments(profile.path()).first().toUtf8();
        const OfficeEnding ending(CalcConnection{programFolder, pipe, officeArguments(profile.path())}, officeMarker);

        QTemporaryDir userProfile;
        const CalcConnection user{programFolder, pipe + QStringLiteral("-user"), officeArguments(userProfile.path())};
        const OfficeEnding userEnding(user, user.extraArguments.first().toUtf8());
        if (officeAlreadyRuns) {
            // Started as a user would start it, on the user's profile, with an empty spreadsheet of its own.
            QVERIFY(QProcess::startDetached(
                programFolder + QStringLiteral("/soffice"),
                user.extraArguments + QStringList{QStringLiteral("--accept=pipe,name=%1;urp;").arg(user.pipeName),
                                                  QStringLiteral("--calc"), QStringLiteral("--norestore")}));
            QTRY_VERIFY_WITH_TIMEOUT(calcWindowCount() == 1, 60000);
        }

        QProcess program;
        program.start(QCoreApplication::applicationFilePath(),
                      {QLatin1String(programMode), pipe, profile.path(), scratch.path()});
        QVERIFY(program.waitForFinished(240000));
        const QByteArray errors = program.readAllStandardError();
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, errors.constData());
        const QStringList results =
            QString::fromUtf8(program.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(results.size() >= 4, "the samples gave too few result rows");

        // The program has ended; the office must still hold the document.
        calc::UnoOffice office(CalcConnection{programFolder, pipe, officeArguments(profile.path())},
                               calc::UnoOffice::Start::Never);
        const auto documents = calcDocuments(office);
        QCOMPARE(documents.size(), 1);
        QList<uno::Reference<sheet::XSpreadsheet>> exported;
        for (const auto& document : documents) {
            const uno::Reference<sheet::XSpreadsheet> sheet = firstSheet(document);
            if (cellAt(sheet, 0, 0).text != QLatin1String("Results"))
                continue;
            exported.append(sheet);
            const uno::Reference<frame::XModel> model(document, uno::UNO_QUERY_THROW);
            QVERIFY2(model->getURL().isEmpty(), "the document was saved somewhere");
            QVERIFY(uno::Reference<util::XModifiable>(model, uno::UNO_QUERY_THROW)->isModified());
            const uno::Reference<awt::XWindow2> window(model->getCurrentController()->getFrame()->getContainerWindow(),
                                                       uno::UNO_QUERY_THROW);
            QVERIFY(window->isVisible());
        }
        QCOMPARE(exported.size(), 1);
        QCOMPARE(calcWindowCount(), documents.size() + (officeAlreadyRuns ? 1 : 0));
        if (officeAlreadyRuns) // the program started an office of its own beside it
            QCOMPARE(calcDocuments(*std::make_unique<calc::UnoOffice>(user, calc::UnoOffice::Start::Never)).size(), 1);

        const uno::Reference<sheet::XSpreadsheet>& sheet = exported.first();
        for (int row = 0; row < results.size(); ++row)
            QCOMPARE(cellAt(sheet, 0, row + 1).text, results[row]);
        QCOMPARE(cellAt(sheet, 0, static_cast<int>(results.size()) + 1).text, QString());
        QVERIFY(columnWidth(sheet, 0) != columnWidth(sheet, 3));

        // A picture of the screen for whoever checks by eye.
        const QString picture = qEnvironmentVariable("QUORVANE_SCREENSHOT");
        if (!picture.isEmpty()) {
            QTest::qWait(5000); // the office paints its new window at its own pace
            QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(
                picture.arg(officeAlreadyRuns ? QLatin1String("joined") : QLatin1String("started"))));
        }
        office.release();
    }
};

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], programMode) == 0) {
        QApplication application(argc, argv);
        return runAsProgram(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                            QString::fromLocal8Bit(argv[4]));
    }
    // Told to CTest as a skipped test, not as a pass.
    const QString programFolder = LibreOfficeCalc::findProgramFolder();
    if (!programFolder.isEmpty() &&
        QDir(programFolder).entryList({QStringLiteral("libvclplug_*")}, QDir::Files).isEmpty()) {
        std::printf("SKIP: only the windowless LibreOffice Calc is installed: no document can be shown\n");
        return 77;
    }
    QApplication application(argc, argv);
    TestCalcVisible test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_calc_visible.moc"
