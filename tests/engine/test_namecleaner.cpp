#include "TestFiles.h"
#include "core/Failure.h"
#include "engine/NameCleaner.h"
#include "text/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

using namespace quorvane;

namespace {

const QByteArray comNetAu("com\r\nnet\r\nau");

// The cleaning written as plainly as it is told: each step on the whole text, with Qt's own removal. The
// suffix list as bytes (Windows-1252), or none.
QString plainClean(QString text, const std::optional<QByteArray>& suffixList)
{
    text.remove(QStringLiteral("http://"), Qt::CaseSensitive);
    text.remove(QStringLiteral("www."), Qt::CaseSensitive);
    text = trimBlanks(text).toString();
    if (suffixList) {
        const QString whole = suffixList->isEmpty() ? QStringLiteral("empty file") : windows1252::decode(*suffixList);
        for (const QString& line : whole.split(QStringLiteral("\r\n"))) {
            if (!line.isEmpty())
                text.remove(QLatin1Char('.') + line, Qt::CaseInsensitive);
        }
    }
    text.replace(QLatin1Char('.'), QLatin1Char(' '));
    text.replace(QLatin1Char('/'), QLatin1Char(' '));
    text.replace(QLatin1Char('-'), QLatin1Char(' '));
    return trimBlanks(text).toString();
}

// Names made of pieces that each step acts on, and others, in both letter cases; short and long enough for
// the cleaning's eight-unit blocks.
QString randomName(QRandomGenerator& random)
{
    static const QStringList pieces = {
        "http://", "HTTP://",    "www.",   "WWW.",       "w",          "ww",        "http:/",    ":",
        ".",       "..",         "/",      "-",          " ",          "  ",        "com",       "COM",
        "Com",     ".com",       ".CoM",   "co",         ".co.uk",     "uk",        "au",        ".au",
        "net",     "x",          "blog",   "example",    "12",         "caf\u00E9", "CAF\u00C9", "\u00DF",
        "SS",      "\u0178",     "\u00FF", "\u212A",     "k",          "\u017F",    "s",         "\u0130",
        "i",       "\U0001F600", "\t",     "empty file", "EMPTY FILE", ":80",       "?q=1"};
    QString name;
    const int count = random.bounded(13);
    for (int k = 0; k < count; ++k)
        name += pieces[random.bounded(pieces.size())];
    return name;
}

// Sets the file's modification time into the past, as for a suffix list installed long ago.
void makeOld(const QString& path, time_t when)
{
    const utimbuf times{when, when};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

void changeChecks()
{
    QTest::addColumn<NameCleaner::ChangeCheck>("check");
    QTest::newRow("watching where possible") << NameCleaner::ChangeCheck::WatchWherePossible;
    QTest::newRow("looking at every call") << NameCleaner::ChangeCheck::LookAtEveryCall;
}

} // namespace

// Watching, a change is seen once the watcher's thread has taken the kernel's note: at once for every
// purpose of a user, but not within the same instant. Looking at every call, it is seen at the very next call.
#define COMPARE_SEEN(check, actual, expected)                                                                          \
    do {                                                                                                               \
        if ((check) == NameCleaner::ChangeCheck::LookAtEveryCall)                                                      \
            QCOMPARE(actual, expected);                                                                                \
        else                                                                                                           \
            QTRY_COMPARE_WITH_TIMEOUT(actual, expected, 10000);                                                        \
    } while (false)
#define COMPARE_WATCHED(actual, expected) COMPARE_SEEN(NameCleaner::ChangeCheck::WatchWherePossible, actual, expected)

class TestNameCleaner : public QObject
{
    Q_OBJECT

private slots:
    void cleaning_data()
    {
        QTest::addColumn<bool>("haveFile");
        QTest::addColumn<QByteArray>("suffixes");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("cleaned");
        const auto row = [](const char* name, const QByteArray& suffixes, const QString& entry,
                            const QString& cleaned) { QTest::newRow(name) << true << suffixes << entry << cleaned; };
        row("path stays, its parts separated", comNetAu, "http://www.Example.com/about-us", "Example about us");
        row("upper-case scheme and prefix stay, upper-case suffix goes", comNetAu, "HTTP://WWW.EXAMPLE.COM",
            "HTTP:  WWW EXAMPLE");
        row("only http:// is a scheme", comNetAu, "https://www.example.com", "https:  example");
        row("suffix removed inside a longer label", comNetAu, "blog.comics.example.net", "blogics example");
        row("two suffixes in a row", comNetAu, "label.com.au", "label");
        row("port stays", comNetAu, "example.com:80", "example:80");
        row("subdomain", comNetAu, "blog.example.com", "blog example");
        row("blanks only", comNetAu, "   ", "");
        row("www. only", comNetAu, "www.", "");
        row("blanks trimmed around the entry", comNetAu, "  a.com  ", "a");
        row("scheme and prefix anywhere", comNetAu, "xhttp://ywww.z", "xyz");
        row("scheme removed in one pass", comNetAu, "hthttp://tp://x", "http:  x");
        row("suffix in the middle", comNetAu, "a.com.b", "a b");
        row("suffix without a dot stays", comNetAu, "acom", "acom");
        row("tabs are not blanks", comNetAu, "\ta.com\t", "\ta\t");
        row("earlier entry keeps a longer one from matching", "com\r\ncom.au", "label.com.au", "label au");
        row("longer entry first", "com.au\r\ncom", "label.com.au", "label");
        row("occurrences removed left to right without overlap", "a.a", "x.a.a.a", "x a");
        row("a removal can make a new occurrence for a later entry", "com\r\ncom", "x.c.comom", "x");
        row("the same entry once leaves it", "com", "x.c.comom", "x com");
        row("empty lines are skipped", "\r\n\r\ncom\r\n", "a.com", "a");
        row("lines are not trimmed", " com", "a.com a. com", "a com a");
        row("a lone LF does not end a line", "com\nnet", "a.com", "a com");
        row("empty file is the entry \"empty file\"", "", "x.empty file.com", "x com");
        row("suffix compared in any letter case", "CoM", "a.cOm", "a");
        row("Windows-1252 suffix in any letter case", "caf\xE9", "menu.CAF\u00C9", "menu");
        QTest::newRow("no suffix list") << false << QByteArray() << "example.com"
                                        << "example com";
    }
    void cleaning()
    {
        QFETCH(bool, haveFile);
        QFETCH(QByteArray, suffixes);
        QFETCH(QString, entry);
        QFETCH(QString, cleaned);
        QTemporaryDir dir;
        if (haveFile)
            testfiles::writeBytes(dir.filePath("suffix.lst"), suffixes);
        NameCleaner cleaner(dir.path());
        QCOMPARE(cleaner.cleanDomainName(entry), cleaned);
    }

    // Every way through the cleaning (names with and without "." or ":", ASCII or not) gives what the plain
    // steps give, for suffix lists whose entries interact with each other and with the other steps.
    void cleaningMatchesThePlainSteps_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("suffixList");
        QTest::newRow("common suffixes") << std::optional<QByteArray>("com\r\nnet\r\nau\r\nco.uk\r\nuk");
        QTest::newRow("entries in other letter cases, non-ASCII, inner dots, empty lines")
            << std::optional<QByteArray>("COM\r\n\r\ncaf\xE9\r\nco.UK\r\n\xDF\r\nk\r\ns\r\nI\r\nx.com\r\n");
        QTest::newRow("entries that meet the scheme and the prefix")
            << std::optional<QByteArray>("w\r\nwww\r\n/\r\n:80\r\n \r\n");
        QTest::newRow("the same entry twice") << std::optional<QByteArray>("com\r\ncom");
        QTest::newRow("empty file") << std::optional<QByteArray>(QByteArray());
        QTest::newRow("no suffix list") << std::optional<QByteArray>();
    }
    void cleaningMatchesThePlainSteps()
    {
        QFETCH(std::optional<QByteArray>, suffixList);
        QTemporaryDir dir;
        if (suffixList)
            testfiles::writeBytes(dir.filePath("suffix.lst"), *suffixList);
        NameCleaner cleaner(dir.path());
        QRandomGenerator random(20261207);
        QString text;
        for (int i = 0; i < 4000; ++i) {
            const QString name = randomName(random);
            const QString expected = plainClean(name, suffixList);
            const QString cleaned = cleaner.cleanDomainName(name);
            QVERIFY2(cleaned == expected,
                     qPrintable(QStringLiteral("\"%1\" gave \"%2\", not \"%3\"").arg(name, cleaned, expected)));
            cleaner.cleanForSearch(name, text);
            QVERIFY2(text == removeBlanks(expected),
                     qPrintable(QStringLiteral("\"%1\" gave \"%2\" for the search").arg(name, text)));
        }
    }

    void folderNamedSuffixListCountsAsAbsent()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("suffix.lst"));
        NameCleaner cleaner(dir.path());
        QCOMPARE(cleaner.cleanDomainName("example.com"), QStringLiteral("example com"));
    }

    // Both ways of noticing changes: the kernel's notes where it gives them, a look at the file otherwise.
    void changesAreSeenAtTheNextName_data() { changeChecks(); }
    void changesAreSeenAtTheNextName()
    {
        QFETCH(NameCleaner::ChangeCheck, check);
        QTemporaryDir dir;
        const QString path = dir.filePath("suffix.lst");
        NameCleaner cleaner(dir.path(), check);
        QCOMPARE(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com net"));
        testfiles::writeBytes(path, "com");
        COMPARE_SEEN(check, cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
        // Same size, same second: the content is still read anew.
        testfiles::writeBytes(path, "net");
        COMPARE_SEEN(check, cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com"));
        QVERIFY(QFile::remove(path));
        COMPARE_SEEN(check, cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com net"));
    }

    void settledFileRewrittenWithItsOldTimeIsSeen_data() { changeChecks(); }
    void settledFileRewrittenWithItsOldTimeIsSeen()
    {
        QFETCH(NameCleaner::ChangeCheck, check);
        QTemporaryDir dir;
        const QString path = dir.filePath("suffix.lst");
        testfiles::writeBytes(path, "com");
        const time_t old = time(nullptr) - 3600;
        makeOld(path, old);
        NameCleaner cleaner(dir.path(), check);
        QCOMPARE(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
        QCOMPARE(cleaner.cleanDomainName("b.com"), QStringLiteral("b"));
        // Rewritten in place with the same size and its old modification time put back: the change
        // time still tells.
        testfiles::writeBytes(path, "net");
        makeOld(path, old);
        COMPARE_SEEN(check, cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com"));
        // Replaced by another file (a new inode) of the same size and time.
        const QString other = dir.filePath("other");
        testfiles::writeBytes(other, "com");
        makeOld(other, old);
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0);
        COMPARE_SEEN(check, cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
    }

    // What only the watch sees at once, or sees without looking at the file: a settled file changed
    // through another name of it, the folder replaced by another one, a link's target changed, and
    // unrelated changes in the folder, which must not cost a reading or lose a change.
    void watchSeesEveryKindOfChange()
    {
        QTemporaryDir root;
        const QString folder = root.filePath("data");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/suffix.lst";
        testfiles::writeBytes(path, "com");
        const time_t old = time(nullptr) - 3600;
        makeOld(path, old);
        NameCleaner cleaner(folder);
        QCOMPARE(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
        if (!cleaner.watchesForChanges())
            QSKIP("the temporary folder's file system gives no notes of changes");

        // Rewritten through a hard link in another folder, its old times put back.
        const QString otherName = root.filePath("other-name.lst");
        QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(otherName).constData()) == 0);
        testfiles::writeBytes(otherName, "net");
        makeOld(otherName, old);
        COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com"));

        // Other files of the folder change, many times.
        for (int i = 0; i < 2000; ++i)
            testfiles::writeBytes(folder + QStringLiteral("/rows%1.txt").arg(i % 3), "x");
        QCOMPARE(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com"));

        // The folder is moved away and another one takes its place.
        QVERIFY(QDir().rename(folder, root.filePath("moved")));
        QVERIFY(QDir().mkpath(folder));
        COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com net"));
        testfiles::writeBytes(path, "com");
        COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
        QVERIFY(cleaner.watchesForChanges());

        // A link to a file elsewhere, whose target is replaced.
        const QString target = root.filePath("target.lst");
        testfiles::writeBytes(target, "net");
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(target, path));
        COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com"));
        testfiles::writeBytes(root.filePath("new-target.lst"), "com");
        QVERIFY(::rename(QFile::encodeName(root.filePath("new-target.lst")).constData(),
                         QFile::encodeName(target).constData()) == 0);
        COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
    }

    // A change made by another program, or by the thread that calls, or by another thread that then calls,
    // is seen.
    void changesByOthersAreSeen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("suffix.lst");
        testfiles::writeBytes(path, "com");
        NameCleaner cleaner(dir.path());
        QCOMPARE(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
        if (!cleaner.watchesForChanges())
            QSKIP("the temporary folder's file system gives no notes of changes");
        for (int round = 0; round < 20; ++round) {
            const QByteArray suffix = round % 2 ? "com" : "net";
            QProcess writer;
            writer.start(
                QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("printf %1 > \"$0\"").arg(QString::fromLatin1(suffix)), path});
            QVERIFY(writer.waitForFinished());
            QCOMPARE(writer.exitCode(), 0);
            COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"),
                            round % 2 ? QStringLiteral("a net") : QStringLiteral("a com"));
            testfiles::writeBytes(path, "com\r\nnet");
            COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a"));
        }
        std::thread other([&] {
            testfiles::writeBytes(path, "net");
            // Only QCOMPARE's kind of check may run on the test's own thread: wait here by hand.
            for (int tries = 0; tries < 1000 && cleaner.cleanDomainName("a.com.net") != QStringLiteral("a com");
                 ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        other.join();
        QCOMPARE(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a com"));
        testfiles::writeBytes(path, "com");
        COMPARE_WATCHED(cleaner.cleanDomainName("a.com.net"), QStringLiteral("a net"));
        QVERIFY(cleaner.watchesForChanges());
    }

    void unreadableListFailsAtEveryNameUntilMended_data() { changeChecks(); }
    void unreadableListFailsAtEveryNameUntilMended()
    {
        QFETCH(NameCleaner::ChangeCheck, check);
        if (::geteuid() == 0)
            QSKIP("the superuser reads every file");
        QTemporaryDir dir;
        const QString path = dir.filePath("suffix.lst");
        testfiles::writeBytes(path, "com");
        NameCleaner cleaner(dir.path(), check);
        QCOMPARE(cleaner.cleanDomainName("a.com"), QStringLiteral("a"));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0) == 0);
        // Watching, the change of mode is seen once the note has been taken.
        if (check == NameCleaner::ChangeCheck::WatchWherePossible) {
            for (int tries = 0; tries < 1000; ++tries) {
                try {
                    cleaner.cleanDomainName("a.com");
                } catch (const Failure&) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        QVERIFY_THROWS_EXCEPTION(Failure, cleaner.cleanDomainName("a.com"));
        QVERIFY_THROWS_EXCEPTION(Failure, cleaner.cleanDomainName("a.com"));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        COMPARE_SEEN(check, cleaner.cleanDomainName("a.com"), QStringLiteral("a"));
    }

    void cleanedForSearch_data()
    {
        QTest::addColumn<bool>("urls");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::newRow("separators and blanks go") << false << " http://www.my-car.com/pet store "
                                                  << "mycarpetstore";
        QTest::newRow("suffix removed before") << false << "a.COM.net"
                                               << "anet";
        QTest::newRow("nothing left") << false << " www. "
                                      << "";
        QTest::newRow("other characters stay") << false << "caf\u00E9:80/x?y=1"
                                               << "caf\u00E9:80x?y=1";
        QTest::newRow("URL: any scheme") << true << "https://www.bestcheapflights.com/"
                                         << "bestcheapflights";
        QTest::newRow("URL: user info, port, query, fragment, encoded path")
            << true << " ftp://user:pw@Example.com:8080/a%2Db/c?q=1#f "
            << "Exampleabc";
        QTest::newRow("URL: xn-- label, UTF-8 in the path") << true << "www.xn--mnchen-3ya.de/caf%C3%A9"
                                                            << "m\u00FCnchendecaf\u00E9";
        QTest::newRow("URL: a port without a scheme") << true << "caf\u00E9:80/x?y=1"
                                                      << "caf\u00E9x";
        QTest::newRow("URL: no port after the colon") << true << "a.com:b#c"
                                                      << "a:b";
        QTest::newRow("URL: a plain name as the window cleans it") << true << "blog.example.com"
                                                                   << "blogexample";
    }
    void cleanedForSearch()
    {
        QFETCH(bool, urls);
        QFETCH(QString, entry);
        QFETCH(QString, text);
        QTemporaryDir dir;
        testfiles::writeBytes(dir.filePath("suffix.lst"), "com");
        NameCleaner cleaner(dir.path());
        cleaner.setUrlCleaning(urls);
        QString got = QStringLiteral("left over from before");
        cleaner.cleanForSearch(entry, got);
        QCOMPARE(got, text);
        QCOMPARE(got, removeBlanks(cleaner.cleanDomainName(entry)));
    }

    void lineCountLimit_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("finalCrLf");
        QTest::addColumn<bool>("fails");
        QTest::newRow("32,767 lines") << 32767 << false << false;
        QTest::newRow("32,767 lines and a final CR LF make 32,768") << 32767 << true << true;
        QTest::newRow("32,768 lines") << 32768 << false << true;
        QTest::newRow("40,000 lines") << 40000 << false << true;
    }
    void lineCountLimit()
    {
        QFETCH(int, lines);
        QFETCH(bool, finalCrLf);
        QFETCH(bool, fails);
        QTemporaryDir dir;
        QByteArray bytes;
        for (int i = 0; i < lines; ++i) {
            if (i > 0)
                bytes += "\r\n";
            bytes += i == 0 ? QByteArray("com") : "x" + QByteArray::number(i);
        }
        if (finalCrLf)
            bytes += "\r\n";
        testfiles::writeBytes(dir.filePath("suffix.lst"), bytes);
        NameCleaner cleaner(dir.path());
        if (!fails) {
            QCOMPARE(cleaner.cleanDomainName("a.com"), QStringLiteral("a"));
            QString text;
            cleaner.cleanForSearch(u"plain-name", text);
            QCOMPARE(text, QStringLiteral("plainname"));
            return;
        }
        try {
            cleaner.cleanDomainName("a.com");
            QFAIL("the suffix list was not refused");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().startsWith(QStringLiteral("Overflow")), qPrintable(failure.description()));
            QVERIFY2(failure.description().contains(QStringLiteral("suffix.lst")), qPrintable(failure.description()));
        }
        // A name that no entry can match fails the same way, and leaves the text alone.
        QString text = QStringLiteral("before");
        QVERIFY_THROWS_EXCEPTION(Failure, cleaner.cleanForSearch(u"plain-name", text));
        QCOMPARE(text, QStringLiteral("before"));
    }

    void blanks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("withoutBlanks");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("inner and outer blanks") << " a b  c "
                                                << "abc"
                                                << "a b  c";
        QTest::newRow("tab and no-break space are no blanks") << "\ta\u00A0b "
                                                              << "\ta\u00A0b"
                                                              << "\ta\u00A0b";
        QTest::newRow("blanks only") << "   "
                                     << ""
                                     << "";
    }
    void blanks()
    {
        QFETCH(QString, text);
        QFETCH(QString, withoutBlanks);
        QFETCH(QString, trimmed);
        QCOMPARE(removeBlanks(text), withoutBlanks);
        QCOMPARE(trimBlanks(text).toString(), trimmed);
    }
};

QTEST_GUILESS_MAIN(TestNameCleaner)
#include "test_namecleaner.moc"
