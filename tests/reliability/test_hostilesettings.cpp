// A settings store that cannot be written, a damaged settings file, and a DomainList of 100,000 entries of
// awkward texts: the user is told what could not be kept, and everything that could be kept comes back.
#include "MainWindow.h"
#include "ScriptedPrompter.h"
#include "Settings.h"
#include "TestFiles.h"
#include "WindowHarness.h"
#include "core/EventPump.h"
#include "core/Failure.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

// The window on a settings file at any path, for paths the harness does not make.
struct WindowOnSettings
{
    explicit WindowOnSettings(const QString& settingsPath) : settings(settingsPath)
    {
        MainWindowSetup setup;
        setup.applicationFolder = testfiles::applicationFolder();
        setup.prompter = &prompter;
        setup.eventPump = &pump;
        setup.settings = &settings;
        window = std::make_unique<MainWindow>(setup);
    }

    ScriptedPrompter prompter;
    CountingEventPump pump;
    Settings settings;
    std::unique_ptr<MainWindow> window;
};

QString notWritten(const QString& path)
{
    return QStringLiteral("The settings could not be written to %1").arg(path);
}

} // namespace

class TestHostileSettings : public QObject
{
    Q_OBJECT

private slots:
    void choicesReachTheFileLastValueKept_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("destroy");
        QTest::newRow("flushed") << false << false;
        QTest::newRow("destroyed") << false << true;
        QTest::newRow("file is a folder: flush throws") << true << false;
    }

    void choicesReachTheFileLastValueKept()
    {
        QFETCH(bool, folder);
        QFETCH(bool, destroy);
        QTemporaryDir temporary;
        const QString path = temporary.filePath(QStringLiteral("settings.ini"));
        QVERIFY(!folder || QDir().mkpath(path));
        auto settings = std::make_unique<Settings>(path);
        settings->storeOption(2);
        settings->storeOption(3);
        settings->storeCaseHints(false);
        QCOMPARE(settings->option(), QStringLiteral("3"));
        if (destroy)
            settings.reset();
        bool threw = false;
        try {
            if (settings)
                settings->flush();
        } catch (const Failure& failure) {
            threw = true;
            QCOMPARE(failure.description(), notWritten(path));
        }
        QCOMPARE(threw, folder);
        if (!folder)
            QCOMPARE(testfiles::readBytes(path), QByteArray("[Quorvane]\nCase%20Hints=0\nOption=3\n"));
    }

    void unwritableStoreIsToldAndTheCommandsGoOn_data()
    {
        QTest::addColumn<bool>("fileAsFolder");
        QTest::newRow("the settings folder is a regular file") << true;
        QTest::newRow("the settings file is a folder") << false;
    }

    void unwritableStoreIsToldAndTheCommandsGoOn()
    {
        QFETCH(bool, fileAsFolder);
        QTemporaryDir temporary;
        QString path;
        if (fileAsFolder) {
            testfiles::writeBytes(temporary.filePath(QStringLiteral("config")), "a file, not a folder");
            path = temporary.filePath(QStringLiteral("config/settings.ini"));
        } else {
            path = temporary.filePath(QStringLiteral("settings.ini"));
            QVERIFY(QDir().mkpath(path));
        }
        WindowOnSettings run(path);
        MainWindow& window = *run.window;
        QVERIFY(window.Form_Load());
        QVERIFY(run.prompter.shown().isEmpty());

        // Option buttons and the display option:
        // told once each as the writer finds out, and the choice still takes effect.
        window.findChild<QRadioButton*>(QStringLiteral("Option3"))->click();
        QTRY_COMPARE(run.prompter.messages(), QStringList{notWritten(path)});
        QCOMPARE(window.dictionary().size(), 10000);
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->click();
        QTRY_COMPARE(run.prompter.messages(), (QStringList{notWritten(path), notWritten(path)}));

        window.domainList().append(QStringLiteral("sunsetphotos.com"));
        window.PushButton9_Click();
        QCOMPARE(window.resultList().texts().contains(QStringLiteral("sunset photos")), true);

        // Closing cannot keep the list: the report says so, and the window closes all the same.
        run.prompter.clear();
        QVERIFY(window.close());
        QCOMPARE(run.prompter.errorReports(),
                 QStringList{notWritten(path) +
                             QStringLiteral("\r\nin Velmodra2021/08/31.Form1.Form_QueryUnload at line 104\r\r"
                                            "Please email screenshot of this message to support@quorvane.example")});
        QVERIFY(!window.isVisible());
        QCOMPARE(QFileInfo(path).isDir(), !fileAsFolder);
    }

    void damagedFileStartsWithWhatCanBeReadAndIsRepairedByClosing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("showOriginal");
        QTest::newRow("random bytes: the defaults")
            << testfiles::randomBytes(64 * 1024, 7) << QStringList{} << QStringList{} << true;
        QTest::newRow("garbage around readable keys")
            << QByteArray("\x00\x01\xff garbage without equals\n[Quorvane]\nOption=\xff\xfe\x00zz\n"
                          "Show%20ASIN=maybe\nZip%20Codes=\"a.com;b.com\"\n=\n[broken\n\x00\x00",
                          99)
            << QStringList{QStringLiteral("Type mismatch\r\nin Velmodra2021/08/31.Form1.Form_Load at line 114\r\r"
                                          "Please email screenshot of this message to support@quorvane.example")}
            << QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")} << false;
        QTest::newRow("cut inside the stored list")
            << QByteArray("[Quorvane]\nOption=3\nZip%20Codes=\"a.com;b.com;cut.c") << QStringList{}
            << QStringList{QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("cut.c")} << true;
    }

    void damagedFileStartsWithWhatCanBeReadAndIsRepairedByClosing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, reports);
        QFETCH(QStringList, entries);
        QFETCH(bool, showOriginal);
        WindowHarness harness(WindowHarness::FirstRun);
        testfiles::writeBytes(harness.settingsPath(), bytes);
        MainWindow& window = harness.load();
        QCOMPARE(harness.prompter.errorReports(), reports);
        QCOMPARE(window.domainList().texts(), entries);
        QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("Check5"))->isChecked(), showOriginal);

        window.domainList().append(QStringLiteral("added.com"));
        window.close();
        harness.destroy();
        harness.prompter.clear();
        QCOMPARE(harness.load().domainList().texts(), entries + QStringList{QStringLiteral("added.com")});
        QCOMPARE(harness.prompter.errorReports(), reports);
    }

    void hundredThousandAwkwardEntriesAreStoredAndRestoredWhole()
    {
        // Texts that an INI file has to escape: its own syntax, quotes, backslashes, controls, non-ASCII.
        const QStringList awkward = {QStringLiteral("a=b"),        QStringLiteral("[Quorvane]"),
                                     QStringLiteral("#comment"),   QStringLiteral("back\\slash\\"),
                                     QStringLiteral("\"quoted\""), QStringLiteral("%20%"),
                                     QStringLiteral("tab\there"),  QStringLiteral(" blanks around "),
                                     QStringLiteral("caf\u00e9"),  QStringLiteral("\u4e2d\u6587.cn"),
                                     QStringLiteral("\U0001F600"), QStringLiteral("nul\u0000x").left(5),
                                     QStringLiteral("\x01\x7f"),   QStringLiteral("comma, here")};
        QStringList entries;
        entries.reserve(100000);
        for (int i = 0; i < 100000; ++i)
            entries.append(awkward[i % awkward.size()] + QString::number(i));
        WindowHarness harness;
        MainWindow& window = harness.load();
        window.domainList().append(entries);
        window.close();
        harness.destroy();
        QCOMPARE(harness.load().domainList().texts(), entries);
        QVERIFY(harness.prompter.errorReports().isEmpty());
    }
};

QTEST_MAIN(TestHostileSettings)
#include "test_hostilesettings.moc"
