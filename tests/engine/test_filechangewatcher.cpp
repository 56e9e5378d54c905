#include "TestFiles.h"
#include "engine/FileChangeWatcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <thread>
#include <unistd.h>

using namespace quorvane;

// The watcher's count moves on after every kind of change to its entry, and only then.
class TestFileChangeWatcher : public QObject
{
    Q_OBJECT

    static QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

private slots:
    void countsEveryChangeToItsEntryAndNoOther()
    {
        QTemporaryDir root;
        const QString folder = root.filePath("data");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/watched.lst";
        FileChangeWatcher watcher(encoded(folder), "watched.lst");
        if (!watcher.watching())
            QSKIP("the temporary folder's file system gives no notes of changes");
        quint64 seen = watcher.changes();
        const auto moves = [&] {
            // Seen once the watcher's thread has taken the note.
            for (int tries = 0; tries < 1000 && watcher.changes() == seen; ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const bool moved = watcher.changes() != seen;
            // Let the notes of the same change settle before the next.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            seen = watcher.changes();
            return moved;
        };

        testfiles::writeBytes(path, "com");
        QVERIFY2(moves(), "created");
        testfiles::writeBytes(path, "net");
        QVERIFY2(moves(), "rewritten");
        const QString otherName = root.filePath("other-name.lst");
        QVERIFY(::link(encoded(path).constData(), encoded(otherName).constData()) == 0);
        QVERIFY(moves()); // the link count is an attribute
        testfiles::writeBytes(otherName, "au");
        QVERIFY2(moves(), "written through another name");
        const QString replacement = folder + "/replacement";
        testfiles::writeBytes(replacement, "x");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QCOMPARE(watcher.changes(), seen); // another entry of the folder
        QVERIFY(::rename(encoded(replacement).constData(), encoded(path).constData()) == 0);
        QVERIFY2(moves(), "replaced by a rename");

        for (int i = 0; i < 200; ++i)
            testfiles::writeBytes(folder + QStringLiteral("/rows%1.txt").arg(i % 3), "x");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QCOMPARE(watcher.changes(), seen);

        QVERIFY(QFile::remove(path));
        QVERIFY2(moves(), "removed");

        // The folder moved away: the count moves on, whether watching goes on or stops.
        QVERIFY(QDir().rename(folder, root.filePath("moved")));
        QVERIFY2(moves(), "folder moved");
    }
};

QTEST_GUILESS_MAIN(TestFileChangeWatcher)
#include "test_filechangewatcher.moc"
