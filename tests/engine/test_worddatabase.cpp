#include "JetWriter.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "engine/WordDatabase.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

using namespace quorvane;
using Rows = std::vector<std::optional<QString>>;

namespace {

constexpr int pageSize = 4096;
constexpr int catalogDefinitionPage = 2;
constexpr int wordsDefinitionPage = 5;
constexpr int ownedMapPointer = 0x37;
constexpr int freeMapPointer = 0x3B;

Rows rowsOf(const QStringList& words)
{
    Rows rows;
    for (const QString& word : words)
        rows.emplace_back(word);
    return rows;
}

// Enough words for several data pages, so that damage can hit the middle of the table.
QStringList manyWords()
{
    QStringList words;
    for (int i = 0; i < 3000; ++i)
        words << QStringLiteral("word%1").arg(i);
    return words;
}

void putU32(QByteArray& bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xff);
}

// Reads the words as the program does: open, then read the table. The failure's description, if any.
QString readFailure(const QString& path, Rows* rows = nullptr)
{
    try {
        WordDatabase database(path);
        Rows words = database.readWords();
        if (rows)
            *rows = std::move(words);
        return {};
    } catch (const Failure& failure) {
        return failure.description();
    }
}

QStringList lines(const QByteArray& text)
{
    QStringList result;
    for (const QString& line : QString::fromUtf8(text).split(u'\n')) {
        QString trimmed = line;
        if (trimmed.endsWith(u'\r'))
            trimmed.chop(1);
        if (!trimmed.isEmpty())
            result << trimmed;
    }
    return result;
}

QString runTool(const QString& program, const QStringList& arguments)
{
    const QString executable = QStandardPaths::findExecutable(program);
    if (executable.isEmpty())
        qFatal("%s is not installed (tools/install-deps.sh test installs it)", qPrintable(program));
    QProcess process;
    process.start(executable, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestWordDatabase : public QObject
{
    Q_OBJECT

    testfiles::TemporaryFiles m_files;

    QString databaseWith(const QByteArray& bytes) { return m_files.withBytes(bytes); }

private slots:
    void rowsComeBackInTableOrder_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain words") << QStringList{QStringLiteral("apple"), QStringLiteral("Banana")};
        QTest::newRow("one-byte and two-byte texts") << QStringList{QStringLiteral("café"), QStringLiteral("Łódź"),
                                                                    QStringLiteral("λόγος"), QStringLiteral("日本語")};
        QTest::newRow("blanks and the longest word") << QStringList{QStringLiteral("  "), QString(255, u'x')};
        QTest::newRow("several data pages") << manyWords();
    }
    void rowsComeBackInTableOrder()
    {
        QFETCH(QStringList, words);
        Rows rows;
        QCOMPARE(readFailure(databaseWith(mkmdb::writeWordDatabase(rowsOf(words))), &rows), QString());
        QCOMPARE(rows, rowsOf(words));
    }

    // Access switches compression on and off inside one value; mkmdb writes only the plain forms.
    void textFieldsDecode_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-16LE") << QByteArray("\x3B\x04\x30\x00", 4) << QStringLiteral("л0");
        QTest::newRow("compressed Latin-1") << QByteArray("\xFF\xFE"
                                                          "caf\xE9",
                                                          6)
                                            << QStringLiteral("café");
        QTest::newRow("compression switched off and on") << QByteArray("\xFF\xFE"
                                                                       "ab\x00\x3B\x04\x00"
                                                                       "cd",
                                                                       10)
                                                         << QStringLiteral("abлcd");
        QTest::newRow("an odd byte at the end is dropped") << QByteArray("\x41\x00\x42", 3) << QStringLiteral("A");
        QTest::newRow("the mark alone") << QByteArray("\xFF\xFE", 2) << QString();
    }
    void textFieldsDecode()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QCOMPARE(worddatabase_detail::decodeJet4Text(reinterpret_cast<const unsigned char*>(stored.constData()),
                                                     int(stored.size())),
                 text);
    }

    void nullWordsAreToldApartFromWords()
    {
        Rows written{QStringLiteral("before"), std::nullopt, QStringLiteral("after")};
        Rows rows;
        QCOMPARE(readFailure(databaseWith(mkmdb::writeWordDatabase(written)), &rows), QString());
        QCOMPARE(rows, written);
    }

    void anEmptyTableGivesNoRows()
    {
        Rows rows{QStringLiteral("stale")};
        QCOMPARE(readFailure(databaseWith(mkmdb::writeWordDatabase({})), &rows), QString());
        QVERIFY(rows.empty());
    }

    void theTableNameIgnoresLetterCase()
    {
        mkmdb::JetOptions options;
        options.tableName = QStringLiteral("Words");
        Rows rows;
        QCOMPARE(readFailure(databaseWith(mkmdb::writeWordDatabase(rowsOf({QStringLiteral("x")}), options)), &rows),
                 QString());
        QCOMPARE(rows.size(), std::size_t(1));
    }

    void tableCanBeReadAgain()
    {
        WordDatabase database(databaseWith(mkmdb::writeWordDatabase(rowsOf(manyWords()))));
        const Rows first = database.readWords();
        QCOMPARE(database.readWords(), first);
    }

    // Every damaged, foreign or missing file gives a Failure with a clear description, never a crash or
    // a part of the table.
    void badFilesFailCleanly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QByteArray good = mkmdb::writeWordDatabase(rowsOf(manyWords()));

        QTest::newRow("empty file") << QByteArray() << QStringLiteral("is not an Access database");
        QTest::newRow("text file") << QByteArray("apple\r\nbanana\r\n").repeated(2000)
                                   << QStringLiteral("is not an Access database");
        QByteArray version = good;
        version[0x14] = char(0x17);
        QTest::newRow("unknown version") << version << QStringLiteral("is not an Access database");
        QTest::newRow("cut inside a page") << good.left(good.size() - 100) << QStringLiteral("is damaged");
        QTest::newRow("only the first pages") << good.left(5 * pageSize) << QStringLiteral("is damaged");
        QTest::newRow("last data page missing")
            << good.left(good.size() - pageSize) << QStringLiteral("it holds 3000 rows, but 2911 could be read");
        QByteArray zeroed = good;
        zeroed.replace(10 * pageSize, pageSize, QByteArray(pageSize, '\0'));
        QTest::newRow("a data page zeroed") << zeroed << QStringLiteral("it holds 3000 rows, but");

        QByteArray catalogMap = good;
        putU32(catalogMap, catalogDefinitionPage * pageSize + ownedMapPointer, 3 << 8 | 200);
        QTest::newRow("catalog map names a missing row") << catalogMap << QStringLiteral("is damaged");
        QByteArray wordsMap = good;
        putU32(wordsMap, wordsDefinitionPage * pageSize + ownedMapPointer, 3 << 8 | 40);
        QTest::newRow("words map names a missing row") << wordsMap << QStringLiteral("Table \"words\"");
        QByteArray freeMap = good;
        putU32(freeMap, wordsDefinitionPage * pageSize + freeMapPointer, 9999u << 8);
        QTest::newRow("words free map beyond the file") << freeMap << QStringLiteral("Table \"words\"");
        QByteArray notTable = good;
        notTable[wordsDefinitionPage * pageSize] = char(0x01);
        QTest::newRow("words definition is no table definition") << notTable << QStringLiteral("Table \"words\"");

        mkmdb::JetOptions other;
        other.tableName = QStringLiteral("wordlist");
        QTest::newRow("no table words") << mkmdb::writeWordDatabase(rowsOf({QStringLiteral("x")}), other)
                                        << QStringLiteral("has no table \"words\"");
    }
    void badFilesFailCleanly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const QString path = databaseWith(bytes);
        const QString description = readFailure(path);
        QVERIFY2(description.contains(expected), qPrintable(description));
        QVERIFY2(description.contains(path), qPrintable(description));
    }

    void missingFileAndFolderFail()
    {
        const QString missing = m_files.path(QStringLiteral("absent.mdb"));
        QCOMPARE(readFailure(missing), QStringLiteral("The word database \"%1\" was not found.").arg(missing));
        const QString folder = m_files.path(QStringLiteral("folder.mdb"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(readFailure(folder), QStringLiteral("The word database \"%1\" is not a file.").arg(folder));
    }

    // The database the build ships: written from the word list by mkmdb, read whole by the program and by
    // mdbtools' own command-line tools.
    void shippedDatabaseHoldsTheWordList()
    {
        const QString database = testfiles::applicationFolder() + QStringLiteral("/dbWords.mdb");
        const QStringList words = lines(testfiles::readBytes(qEnvironmentVariable("QUORVANE_DBWORDS_SOURCE")));
        QVERIFY(!words.isEmpty());

        Rows rows;
        QCOMPARE(readFailure(database, &rows), QString());
        QCOMPARE(rows, rowsOf(words));

        QCOMPARE(runTool(QStringLiteral("mdb-ver"), {database}), QStringLiteral("JET4\n"));
        QCOMPARE(runTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), database}), QStringLiteral("words\n"));
        QCOMPARE(runTool(QStringLiteral("mdb-count"), {database, QStringLiteral("words")}),
                 QStringLiteral("%1\n").arg(words.size()));
        // Tab-separated, without header or quotes: ID, Length and Word of every row, in order.
        const QStringList exported =
            runTool(QStringLiteral("mdb-export"), {QStringLiteral("-H"), QStringLiteral("-Q"), QStringLiteral("-d"),
                                                   QStringLiteral("\t"), database, QStringLiteral("words")})
                .split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(exported.size(), words.size());
        for (qsizetype i = 0; i < words.size(); ++i)
            QCOMPARE(exported[i], QStringLiteral("%1\t%2\t%3").arg(i + 1).arg(words[i].size()).arg(words[i]));
    }
};

QTEST_GUILESS_MAIN(TestWordDatabase)
#include "test_worddatabase.moc"
