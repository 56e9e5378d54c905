// Loading a domain file into the DomainList refuses whatever is not a plain file before opening it, so that
// the window cannot be held by a pipe that never ends; quorvane-split's reader keeps reading pipes.
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "input/DomainFileReader.h"
#include "input/DomainListInput.h"
#include "model/TextListModel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace quorvane;

class TestDomainListInput : public QObject
{
    Q_OBJECT

private slots:
    void filesThatAreNotPlainAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("shownAs");
        QTest::newRow("named pipe nobody writes to") << QStringLiteral("fifo") << QStringLiteral("a named pipe");
        QTest::newRow("socket") << QStringLiteral("socket") << QStringLiteral("a socket");
        QTest::newRow("endless device") << QStringLiteral("device") << QStringLiteral("a device");
    }

    void filesThatAreNotPlainAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, shownAs);
        QTemporaryDir folder;
        QString path = folder.filePath(kind);
        int socketHandle = -1;
        const auto closeSocket = qScopeGuard([&] {
            if (socketHandle >= 0)
                ::close(socketHandle);
        });
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("socket")) {
            socketHandle = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray encoded = QFile::encodeName(path);
            QVERIFY(size_t(encoded.size()) < sizeof(address.sun_path));
            std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
            QCOMPARE(::bind(socketHandle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
            QCOMPARE(::listen(socketHandle, 1), 0);
        } else {
            path = QStringLiteral("/dev/zero");
        }
        TextListModel list;
        list.append(QStringLiteral("before"));
        ScriptedPrompter prompter;
        QElapsedTimer timer;
        timer.start();
        try {
            addFileLinesToList(list, path, prompter);
            QFAIL("not refused");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(),
                     QStringLiteral("Cannot open \"%1\": it is %2, not a file").arg(path, shownAs));
        }
        QVERIFY(timer.elapsed() < 5000); // refused, not waited on
        QCOMPARE(list.texts(), QStringList{QStringLiteral("before")});
        QVERIFY(prompter.shown().isEmpty());
    }

    void plainFilesAndLinksToThemAreRead()
    {
        testfiles::TemporaryFiles folder;
        const QString path = folder.withBytes("a.com\r\nb.com\r\n");
        const QString link = folder.path(QStringLiteral("link.txt"));
        QVERIFY(QFile::link(path, link));
        TextListModel list;
        ScriptedPrompter prompter;
        addFileLinesToList(list, link, prompter);
        QCOMPARE(list.texts(), (QStringList{QStringLiteral("a.com"), QStringLiteral("b.com")}));
    }

    // quorvane-split reads its files with DomainFileReader, which must go on taking a pipe ("<(cmd)").
    void theBatchReaderStillReadsPipes()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        std::thread writer([&] {
            QFile out(path);
            if (out.open(QIODevice::WriteOnly))
                out.write("one.com\ntwo.com\n");
        });
        const QStringList names = DomainFileReader::readAllNames(path);
        writer.join();
        QCOMPARE(names, (QStringList{QStringLiteral("one.com"), QStringLiteral("two.com")}));
    }
};

QTEST_GUILESS_MAIN(TestDomainListInput)
#include "test_domainlistinput.moc"
