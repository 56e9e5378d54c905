// The name of the pipe the user's office listens on: unpredictable, kept where only the user can read it, and
// the same for every later export.
#include "output/LibreOfficeCalc.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info
    {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode;
}

} // namespace

class TestOfficePipe : public QObject
{
    Q_OBJECT

private slots:
    void tokenIsRandomPrivateAndKept()
    {
        QTemporaryDir folder;
        const QString tokens = folder.filePath(QStringLiteral("config/Tarnwick"));
        const QString first = LibreOfficeCalc::userPipeName(tokens);
        QVERIFY2(first.startsWith(QStringLiteral("quorvane-calc-")), qPrintable(first));
        QCOMPARE(first.size(), QStringLiteral("quorvane-calc-").size() + 32);
        QVERIFY(first != QStringLiteral("quorvane-calc-%1").arg(getuid())); // the old, guessable name
        const QString file = tokens + QStringLiteral("/office-pipe");
        QCOMPARE(modeOf(file) & 07777, mode_t(0600));
        QVERIFY(S_ISREG(modeOf(file)));
        // Later exports and later runs join the same office.
        QCOMPARE(LibreOfficeCalc::userPipeName(tokens), first);
        // No file is left besides the token.
        QCOMPARE(QDir(tokens).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{QStringLiteral("office-pipe")});
        // Another user (another folder) gets another name.
        QTemporaryDir other;
        QVERIFY(LibreOfficeCalc::userPipeName(other.path()) != first);
    }

    // A token file that others could read, a link planted in its place, or a damaged one is not trusted: a new
    // token replaces it, in a file of the user's own.
    void untrustedTokenFilesAreReplaced_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("readable by others") << QStringLiteral("readable");
        QTest::newRow("link to another file") << QStringLiteral("link");
        QTest::newRow("not a token") << QStringLiteral("garbage");
        QTest::newRow("empty") << QStringLiteral("empty");
    }

    void untrustedTokenFilesAreReplaced()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("office-pipe"));
        const QByteArray known = "0123456789abcdef0123456789abcdef";
        const QString target = folder.filePath(QStringLiteral("elsewhere"));
        const auto write = [](const QString& path, const QByteArray& bytes, QFile::Permissions permissions) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            out.close();
            QVERIFY(out.setPermissions(permissions));
        };
        const QFile::Permissions ownOnly = QFile::ReadOwner | QFile::WriteOwner;
        if (kind == QLatin1String("readable")) {
            write(file, known, ownOnly | QFile::ReadGroup | QFile::ReadOther);
        } else if (kind == QLatin1String("link")) {
            write(target, known, ownOnly);
            QVERIFY(QFile::link(target, file));
        } else if (kind == QLatin1String("garbage")) {
            write(file, "not a token at all, and too long", ownOnly);
        } else {
            write(file, "", ownOnly);
        }
        const QString name = LibreOfficeCalc::userPipeName(folder.path());
        QVERIFY(name != QStringLiteral("quorvane-calc-") + QLatin1String(known));
        QCOMPARE(name.size(), QStringLiteral("quorvane-calc-").size() + 32);
        QVERIFY(S_ISREG(modeOf(file)));
        QCOMPARE(modeOf(file) & 07777, mode_t(0600));
        QCOMPARE(LibreOfficeCalc::userPipeName(folder.path()), name);
        if (kind == QLatin1String("link")) {
            QFile kept(target);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), known); // the link's target is left alone
        }
    }
};

QTEST_GUILESS_MAIN(TestOfficePipe)
#include "test_officepipe.moc"
