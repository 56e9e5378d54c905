// "Save Results As Text File" into places that cannot take the file: a full file system, a file size
// limit, a read-only folder, a folder removed during the export. Each is reported once, and a file that was
// there before is left as it was.
#include "MainWindow.h"
#include "SmallFileSystem.h"
#include "WindowHarness.h"
#include "core/Pointer.h"

#include <QProgressBar>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

enum class Trouble
{
    FullFileSystem,
    FileSizeLimit,
    ReadOnlyFolder,
    FolderRemoved,
};

// Writes past `bytes` fail with EFBIG (SIGXFSZ ignored) while the object lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool isSet() const { return m_set; }

private:
    rlimit m_before{};
    void (*m_signal)(int) = nullptr;
    bool m_set = false;
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

Q_DECLARE_METATYPE(Trouble)

class TestHostileExports : public QObject
{
    Q_OBJECT

private slots:
    void exportThatCannotBeWrittenIsReportedOnceAndLeavesTheOldFile_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<QString>("failure");
        QTest::newRow("full file system") << Trouble::FullFileSystem << QStringLiteral("Cannot write the file");
        QTest::newRow("file size limit") << Trouble::FileSizeLimit << QStringLiteral("Cannot write the file");
        QTest::newRow("read-only folder") << Trouble::ReadOnlyFolder << QStringLiteral("Cannot create the file");
        QTest::newRow("folder removed during the export")
            << Trouble::FolderRemoved << QStringLiteral("Cannot write the file");
    }

    void exportThatCannotBeWrittenIsReportedOnceAndLeavesTheOldFile()
    {
        QFETCH(Trouble, trouble);
        QFETCH(QString, failure);
        WindowHarness harness;
        MainWindow& window = harness.load();
        QStringList rows;
        for (int i = 0; i < 20000; ++i)
            rows.append(QStringLiteral("a result row number %1 of some length").arg(i));
        window.resultList().append(rows, true);

        const QString folder = harness.temporaryPath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/results.txt");
        const QByteArray old = "old results\r\n";
        std::unique_ptr<testfiles::SmallFileSystem> mount;
        if (trouble == Trouble::FullFileSystem || trouble == Trouble::ReadOnlyFolder) {
            mount = std::make_unique<testfiles::SmallFileSystem>(folder);
            if (!mount->mounted()) {
                if (trouble == Trouble::FullFileSystem)
                    QSKIP("mounting a small tmpfs is not allowed here");
                if (::geteuid() == 0)
                    QSKIP("root writes into any folder, and mounting a read-only one is not allowed here");
            }
        }
        testfiles::writeBytes(path, old);
        if (trouble == Trouble::ReadOnlyFolder) {
            if (mount->mounted())
                QVERIFY(mount->makeReadOnly());
            else
                QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        if (trouble == Trouble::FolderRemoved) {
            // Half way through the rows, the folder goes, the file in it and the export's own temporary file.
            const auto* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
            harness.pump.onYield = [&, bar](int) {
                if (bar->value() >= 50 && QFileInfo::exists(folder))
                    QDir(folder).removeRecursively();
            };
        }

        harness.prompter.saveAnswers.enqueue(path);
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (trouble == Trouble::FileSizeLimit) {
                limit = std::make_unique<FileSizeLimit>(32 * 1024);
                QVERIFY(limit->isSet());
            }
            window.PushButton4_Click();
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QStringList reports = harness.prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("%1 \"%2\"").arg(failure, path)), qPrintable(reports[0]));
        QVERIFY2(reports[0].contains(QStringLiteral("in Velmodra2021/08/31.Main.SaveListviewProperlySpaced at line ")),
                 qPrintable(reports[0]));
        QVERIFY(harness.prompter.messages().isEmpty());
        if (trouble == Trouble::FolderRemoved) {
            QVERIFY(!QFileInfo::exists(folder));
        } else {
            QCOMPARE(testfiles::readBytes(path), old);
            QCOMPARE(entries(folder), QStringList{QStringLiteral("results.txt")});
        }
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
        const auto* progress = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QCOMPARE(progress->value(), 0);
        QCOMPARE(progress->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(window.resultList().texts(), rows);

        // The same command goes on working once there is room.
        mount.reset();
        if (trouble == Trouble::FolderRemoved)
            QVERIFY(QDir().mkpath(folder));
        harness.prompter.clear();
        harness.pump.onYield = nullptr;
        harness.prompter.saveAnswers.enqueue(path);
        window.PushButton4_Click();
        QVERIFY(harness.prompter.shown().size() == 1);
        QCOMPARE(testfiles::readBytes(path).count("\r\n"), rows.size() + 1);
    }
};

QTEST_MAIN(TestHostileExports)
#include "test_hostileexports.moc"
