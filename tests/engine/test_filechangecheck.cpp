#include "TestFiles.h"
#include "engine/FileChangeCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <thread>
#include <unistd.h>
#include <utime.h>

using namespace quorvane;

using Mode = FileChangeCheck::Mode;
using Answer = FileChangeCheck::Answer;

namespace {

enum class Change
{
    None,
    OtherEntriesWritten,
    RewrittenWithItsOldTimes, // same size, same modification time: only the change time tells
    ReplacedByRename,
    Removed,
    LinkTargetRewritten, // in a folder that is not watched
};

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

bool setOldTime(const QString& path)
{
    const time_t old = time(nullptr) - 3600;
    const utimbuf times{old, old};
    return ::utime(encoded(path).constData(), &times) == 0;
}

} // namespace

// Which answer each call gives. Whether the answers are the right ones is also seen through the cleaner's
// results; what only the answers show is a reading asked for when nothing changed, and a failed one not asked
// for again.
class TestFileChangeCheck : public QObject
{
    Q_OBJECT

    // Folders, each with "data/watched.lst" (a file) and "linked/watched.lst" (a link to "elsewhere/target.lst"),
    // made at the start and left alone until their change times have settled: each test takes one of its own.
    QTemporaryDir m_root;
    int m_setsMade = 0;
    int m_setsTaken = 0;

    QString takeSet()
    {
        if (m_setsTaken == m_setsMade)
            qFatal("too few sets of settled files: make more in initTestCase");
        return m_root.filePath(QString::number(m_setsTaken++));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        for (; m_setsMade < 24; ++m_setsMade) {
            const QString set = m_root.filePath(QString::number(m_setsMade));
            for (const char* folder : {"data", "linked", "elsewhere"})
                QVERIFY(QDir().mkpath(set + '/' + folder));
            testfiles::writeBytes(set + "/data/watched.lst", "com");
            testfiles::writeBytes(set + "/elsewhere/target.lst", "com");
            QVERIFY(QFile::link(set + "/elsewhere/target.lst", set + "/linked/watched.lst"));
            QVERIFY(setOldTime(set + "/data/watched.lst"));
            QVERIFY(setOldTime(set + "/elsewhere/target.lst"));
        }
        // A stamp is trusted once the file's change time is more than three whole seconds past.
        const time_t made = time(nullptr);
        while (time(nullptr) < made + 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    void answersInTurn_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<Change>("change");
        QTest::addColumn<Answer>("afterChange");
        // At the call after the reading the change asked for.
        QTest::addColumn<Answer>("afterReading");

        const Mode look = Mode::LookAtEveryCall;
        const Mode watch = Mode::WatchWherePossible;
        const Answer again = Answer::ReadAgain;
        const Answer unchanged = Answer::Unchanged;
        QTest::newRow("looking: nothing changed") << look << false << Change::None << unchanged << unchanged;
        QTest::newRow("watching: nothing changed") << watch << false << Change::None << unchanged << unchanged;
        QTest::newRow("looking: other entries written")
            << look << false << Change::OtherEntriesWritten << unchanged << unchanged;
        QTest::newRow("watching: other entries written")
            << watch << false << Change::OtherEntriesWritten << unchanged << unchanged;
        // Looking, a file changed within the last seconds is read at every call.
        QTest::newRow("looking: rewritten with its old times")
            << look << false << Change::RewrittenWithItsOldTimes << again << again;
        QTest::newRow("watching: rewritten with its old times")
            << watch << false << Change::RewrittenWithItsOldTimes << again << unchanged;
        QTest::newRow("looking: replaced by a rename") << look << false << Change::ReplacedByRename << again << again;
        QTest::newRow("watching: replaced by a rename")
            << watch << false << Change::ReplacedByRename << again << unchanged;
        QTest::newRow("looking: removed") << look << false << Change::Removed << Answer::NoFile << Answer::NoFile;
        QTest::newRow("watching: removed") << watch << false << Change::Removed << Answer::NoFile << Answer::NoFile;
        // A link is looked at every time, and its settled target not read again.
        QTest::newRow("looking: link, nothing changed") << look << true << Change::None << unchanged << unchanged;
        QTest::newRow("watching: link, nothing changed") << watch << true << Change::None << unchanged << unchanged;
        QTest::newRow("looking: link, target rewritten")
            << look << true << Change::LinkTargetRewritten << again << again;
        QTest::newRow("watching: link, target rewritten")
            << watch << true << Change::LinkTargetRewritten << again << again;
        QTest::newRow("looking: link removed") << look << true << Change::Removed << Answer::NoFile << Answer::NoFile;
        QTest::newRow("watching: link removed") << watch << true << Change::Removed << Answer::NoFile << Answer::NoFile;
    }

    void answersInTurn()
    {
        QFETCH(Mode, mode);
        QFETCH(bool, linked);
        QFETCH(Change, change);
        QFETCH(Answer, afterChange);
        QFETCH(Answer, afterReading);
        const QString set = takeSet();
        const QString folder = set + (linked ? "/linked" : "/data");
        const QString path = folder + "/watched.lst";
        FileChangeCheck check(folder, "watched.lst", mode);
        QCOMPARE(check.check(), Answer::ReadAgain);
        check.fileRead();
        if (mode == Mode::WatchWherePossible && !check.watching())
            QSKIP("the temporary folder's file system gives no notes of changes");
        for (int call = 0; call < 3; ++call)
            QCOMPARE(check.check(), Answer::Unchanged);

        switch (change) {
        case Change::None:
            break;
        case Change::OtherEntriesWritten:
            for (int i = 0; i < 100; ++i)
                testfiles::writeBytes(folder + QStringLiteral("/rows%1.txt").arg(i % 3), "x");
            break;
        case Change::RewrittenWithItsOldTimes:
            testfiles::writeBytes(path, "net");
            QVERIFY(setOldTime(path));
            break;
        case Change::ReplacedByRename:
            testfiles::writeBytes(folder + "/replacement", "net");
            QVERIFY(setOldTime(folder + "/replacement"));
            QVERIFY(::rename(encoded(folder + "/replacement").constData(), encoded(path).constData()) == 0);
            break;
        case Change::Removed:
            QVERIFY(QFile::remove(path));
            break;
        case Change::LinkTargetRewritten:
            testfiles::writeBytes(set + "/elsewhere/target.lst", "net");
            QVERIFY(setOldTime(set + "/elsewhere/target.lst"));
            break;
        }
        // Watching, a change is seen once the watcher's thread has taken the kernel's notes; every note of it
        // has been taken well before this.
        if (mode == Mode::WatchWherePossible)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Answer answer = check.check();
        for (int tries = 0; mode == Mode::WatchWherePossible && afterChange != Answer::Unchanged &&
                            answer == Answer::Unchanged && tries < 1000;
             ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            answer = check.check();
        }
        QCOMPARE(answer, afterChange);
        if (answer == Answer::ReadAgain)
            check.fileRead();
        QCOMPARE(check.check(), afterReading);
    }

    // A reading not told of has failed: it is asked for again, however the file's changes are noticed.
    void failedReadingIsAskedForAgain_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::newRow("looking") << Mode::LookAtEveryCall;
        QTest::newRow("watching") << Mode::WatchWherePossible;
    }

    void failedReadingIsAskedForAgain()
    {
        QFETCH(Mode, mode);
        const QString folder = takeSet() + "/data";
        FileChangeCheck check(folder, "watched.lst", mode);
        QCOMPARE(check.check(), Answer::ReadAgain);
        QCOMPARE(check.check(), Answer::ReadAgain);
        check.fileRead();
        QCOMPARE(check.check(), Answer::Unchanged);
        testfiles::writeBytes(folder + "/watched.lst", "net");
        QTRY_COMPARE_WITH_TIMEOUT(check.check(), Answer::ReadAgain, 10000);
        QCOMPARE(check.check(), Answer::ReadAgain);
    }

    // Once the watched folder is gone, the file is looked at: the answers stay right from the next call on.
    void looksOnceWatchingStops()
    {
        const QString set = takeSet();
        const QString folder = set + "/data";
        FileChangeCheck check(folder, "watched.lst", Mode::WatchWherePossible);
        QCOMPARE(check.check(), Answer::ReadAgain);
        check.fileRead();
        if (!check.watching())
            QSKIP("the temporary folder's file system gives no notes of changes");
        QVERIFY(QDir().rename(folder, set + "/moved"));
        QTRY_VERIFY_WITH_TIMEOUT(!check.watching(), 10000);
        QCOMPARE(check.check(), Answer::NoFile);
        QVERIFY(QDir().mkpath(folder));
        testfiles::writeBytes(folder + "/watched.lst", "net");
        QCOMPARE(check.check(), Answer::ReadAgain);
    }
};

QTEST_GUILESS_MAIN(TestFileChangeCheck)
#include "test_filechangecheck.moc"
