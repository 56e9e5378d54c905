// The pipe the export reaches an office through: a new, unpredictable name for every run, and a connection
// only to a socket that is the user's own.
#include "TestFiles.h"
#include "output/LibreOfficeCalc.h"
#include "output/OfficePipe.h"

#include <QFile>
#include <QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quorvane;

namespace {

constexpr uid_t nobody = 65534;

// Makes a socket at the path (bound, not listening: the check must not connect to learn whose it is).
bool makeSocket(const QByteArray& path)
{
    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
    const bool bound = handle >= 0 && ::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (handle >= 0)
        ::close(handle);
    return bound;
}

} // namespace

class TestOfficePipe : public QObject
{
    Q_OBJECT

private slots:
    void namesAreRandomAndNewForEveryRun()
    {
        const QString first = OfficePipe::newName();
        QVERIFY2(first.startsWith(QStringLiteral("quorvane-calc-")), qPrintable(first));
        QCOMPARE(first.size(), QStringLiteral("quorvane-calc-").size() + 32);
        QVERIFY(first != QStringLiteral("quorvane-calc-%1").arg(getuid())); // the old, guessable name
        QVERIFY(OfficePipe::newName() != first);
        // Each run of the program (each export application) has a name of its own; a given name is kept.
        const LibreOfficeCalc run1;
        const LibreOfficeCalc run2;
        QVERIFY(run1.pipeName().startsWith(QStringLiteral("quorvane-calc-")));
        QVERIFY(run1.pipeName() != run2.pipeName());
        QCOMPARE(LibreOfficeCalc({}, QStringLiteral("given")).pipeName(), QStringLiteral("given"));
        QCOMPARE(OfficePipe::socketPath(QStringLiteral("x")), QStringLiteral("/tmp/OSL_PIPE_%1_x").arg(geteuid()));
    }

    // Only the user's own socket is joined; whatever else lies at the path is refused with a report, before
    // any connection is made.
    void onlyTheUsersOwnSocketIsAccepted_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("nothing there yet") << QStringLiteral("absent") << true;
        QTest::newRow("the user's own socket") << QStringLiteral("own socket") << true;
        QTest::newRow("another user's socket") << QStringLiteral("foreign socket") << false;
        QTest::newRow("a link to the user's own socket") << QStringLiteral("link") << false;
        QTest::newRow("a plain file of the user's own") << QStringLiteral("file") << false;
        QTest::newRow("a folder") << QStringLiteral("folder") << false;
    }

    void onlyTheUsersOwnSocketIsAccepted()
    {
        QFETCH(QString, kind);
        QFETCH(bool, accepted);
        if (kind == QLatin1String("foreign socket") && geteuid() != 0)
            QSKIP("handing a socket to another user needs root");
        const QString name = OfficePipe::newName();
        const QByteArray path = QFile::encodeName(OfficePipe::socketPath(name));
        const QByteArray target = path + ".target";
        const auto cleanUp = qScopeGuard([&] {
            ::unlink(path.constData());
            ::rmdir(path.constData());
            ::unlink(target.constData());
        });
        if (kind == QLatin1String("own socket") || kind == QLatin1String("foreign socket")) {
            QVERIFY(makeSocket(path));
            if (kind == QLatin1String("foreign socket"))
                QCOMPARE(::chown(path.constData(), nobody, nobody), 0);
        } else if (kind == QLatin1String("link")) {
            QVERIFY(makeSocket(target));
            QCOMPARE(::symlink(target.constData(), path.constData()), 0);
        } else if (kind == QLatin1String("file")) {
            testfiles::writeBytes(QFile::decodeName(path), QByteArray());
        } else if (kind == QLatin1String("folder")) {
            QCOMPARE(::mkdir(path.constData(), 0700), 0);
        }

        if (accepted) {
            const OfficePipe::State expected =
                kind == QLatin1String("absent") ? OfficePipe::State::Absent : OfficePipe::State::Own;
            QCOMPARE(OfficePipe::check(name), expected);
        } else {
            try {
                OfficePipe::check(name);
                QFAIL("the path was accepted");
            } catch (const ForeignPipe& refused) {
                QVERIFY2(refused.description().contains(QFile::decodeName(path)), qPrintable(refused.description()));
                QVERIFY2(refused.description().contains(QStringLiteral("is not your own")),
                         qPrintable(refused.description()));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOfficePipe)
#include "test_officepipe.moc"
