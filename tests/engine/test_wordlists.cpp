#include "JetWriter.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "core/Pointer.h"
#include "engine/WordDatabase.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"

#include <QDir>
#include <QFile>
#include <QHashSeed>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

using namespace quorvane;

Q_DECLARE_METATYPE(quorvane::WordListChoice)

namespace {

const QString loadWordsLocation = QStringLiteral("in Velmodra2021/08/31.modSplitIntoWords.loadWords at line ");

QStringList sortedKeys(const WordDictionary& dictionary)
{
    QStringList keys(dictionary.words().cbegin(), dictionary.words().cend());
    keys.sort();
    return keys;
}

QByteArray crlf(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

QByteArray utf8WithMark(const QStringList& lines)
{
    return "\xEF\xBB\xBF" + crlf(lines);
}

QByteArray utf16leWithMark(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TestWordLists : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder; // a fresh application folder for every test
    ScriptedPrompter m_prompter;
    PlainPointer m_pointer;
    WordDictionary m_dictionary;
    std::unique_ptr<WordDatabase> m_database;

    QString folder() const { return m_folder->path(); }

    void writeList(const QString& name, const QByteArray& bytes)
    {
        testfiles::writeBytes(folder() + u'/' + name, bytes);
    }

    void openDatabase(const std::vector<std::optional<QString>>& rows)
    {
        const QString path = folder() + QStringLiteral("/dbWords.mdb");
        testfiles::writeBytes(path, mkmdb::writeWordDatabase(rows));
        m_database = std::make_unique<WordDatabase>(path);
    }

    void load(WordListChoice choice)
    {
        loadWords(choice, m_database.get(), folder(), m_dictionary, m_prompter, m_pointer);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_prompter.clear();
        m_prompter.onShown = nullptr;
        m_pointer.setShape(PointerShape::Default);
        m_dictionary.clear();
        m_database.reset();
    }

    void eachListLoadsItsOwnSource_data()
    {
        QTest::addColumn<WordListChoice>("choice");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("#1 dbWords.mdb") << WordListChoice::Database
                                        << QStringList{QStringLiteral("alpha"), QStringLiteral("database")};
        QTest::newRow("#2 google.col") << WordListChoice::Google
                                       << QStringList{QStringLiteral("google"), QStringLiteral("search")};
        QTest::newRow("#3 mit.col") << WordListChoice::Mit
                                    << QStringList{QStringLiteral("mit"), QStringLiteral("zeta")};
    }
    void eachListLoadsItsOwnSource()
    {
        QFETCH(WordListChoice, choice);
        QFETCH(QStringList, expected);
        openDatabase({QStringLiteral("Database"), QStringLiteral("alpha")});
        writeList(QStringLiteral("google.col"), crlf({QStringLiteral("search"), QStringLiteral("Google")}));
        writeList(QStringLiteral("mit.col"), crlf({QStringLiteral("zeta"), QStringLiteral("MIT")}));
        load(choice);
        QCOMPARE(m_prompter.shown().size(), 0);
        QCOMPARE(sortedKeys(m_dictionary), expected);
        QCOMPARE(m_pointer.shape(), PointerShape::Default);
    }

    void switchingListsLeavesOnlyTheNewListsWords()
    {
        openDatabase({QStringLiteral("shared"), QStringLiteral("onlyindatabase")});
        writeList(QStringLiteral("google.col"), crlf({QStringLiteral("shared"), QStringLiteral("onlyingoogle")}));
        writeList(QStringLiteral("mit.col"), crlf({QStringLiteral("onlyinmit")}));
        load(WordListChoice::Google);
        load(WordListChoice::Database);
        QCOMPARE(sortedKeys(m_dictionary), (QStringList{QStringLiteral("onlyindatabase"), QStringLiteral("shared")}));
        load(WordListChoice::Mit);
        QCOMPARE(sortedKeys(m_dictionary), QStringList{QStringLiteral("onlyinmit")});
        QCOMPARE(m_prompter.shown().size(), 0);
    }

    // What a list file's lines become: the keys, and the reports shown on the way.
    void linesBecomeKeys_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("reports");
        const QString duplicate = QStringLiteral("The word \"apple\" is already in the word list.\r\n") +
                                  loadWordsLocation + QStringLiteral("130\r\r");

        QTest::newRow("Apple then apple: one key, one report")
            << crlf({QStringLiteral("Apple"), QStringLiteral("pear"), QStringLiteral("apple")})
            << QStringList{QStringLiteral("apple"), QStringLiteral("pear")} << QStringList{duplicate};
        QTest::newRow("empty lines add nothing")
            << QByteArray("one\r\n\r\n\r\ntwo\r\n") << QStringList{QStringLiteral("one"), QStringLiteral("two")}
            << QStringList{};
        QTest::newRow("a line of blanks is a key")
            << QByteArray("   \r\nword") << QStringList{QStringLiteral("   "), QStringLiteral("word")} << QStringList{};
        QTest::newRow("lines are not trimmed")
            << QByteArray(" apple\r\napple \r\n") << QStringList{QStringLiteral(" apple"), QStringLiteral("apple ")}
            << QStringList{};
        QTest::newRow("letters are lower-cased whatever the script")
            << utf8WithMark({QStringLiteral("ÉCOLE"), QStringLiteral("ΑΘΉΝΑ")})
            << QStringList{QStringLiteral("école"), QStringLiteral("αθήνα")} << QStringList{};
        QTest::newRow("no mark: Windows-1252") << QByteArray("\xC9"
                                                             "cole\r\n")
                                               << QStringList{QStringLiteral("école")} << QStringList{};
        QTest::newRow("an empty file: no words, no report") << QByteArray() << QStringList{} << QStringList{};
        QTest::newRow("UTF-16 list with its mark")
            << utf16leWithMark(QStringLiteral("Łódź\r\nkraków\r\n"))
            << QStringList{QStringLiteral("kraków"), QStringLiteral("łódź")} << QStringList{};
    }
    void linesBecomeKeys()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, reports);
        writeList(QStringLiteral("google.col"), file);
        load(WordListChoice::Google);
        QCOMPARE(sortedKeys(m_dictionary), keys);
        const QStringList shown = m_prompter.errorReports();
        QCOMPARE(shown.size(), reports.size());
        for (qsizetype i = 0; i < shown.size(); ++i)
            QVERIFY2(shown[i].startsWith(reports[i]), qPrintable(shown[i]));
        QCOMPARE(m_prompter.messages(), QStringList{});
    }

    // Each word keeps its place (the words added before it); the shipped lists come with the words of
    // "unlisted.lst", a list of the user's own without. The file is optional and never reported.
    void wordsKeepTheirPlacesBesideTheUnlistedWords_data()
    {
        QTest::addColumn<int>("choice"); // 0: a word-list file of the user's own
        QTest::addColumn<QByteArray>("unlisted");
        QTest::addColumn<bool>("unlistedIsFolder");
        QTest::addColumn<QStringList>("inOrder");
        QTest::addColumn<QStringList>("unlistedWords");

        const QByteArray unlisted("Zorb\r\nquux\r\n");
        const QStringList read{"Zorb", "quux"};
        const QStringList google{"search", "zorb", "google", "quux"};
        QTest::newRow("#2: places skip empty and repeated lines")
            << int(WordListChoice::Google) << unlisted << false << google << read;
        QTest::newRow("#1: places follow the table's rows, a Null row takes none")
            << int(WordListChoice::Database) << unlisted << false << QStringList{"database", "zorb", "alpha"} << read;
        QTest::newRow("#3") << int(WordListChoice::Mit) << unlisted << false << QStringList{"zeta", "quux", "mit"}
                            << read;
        QTest::newRow("no unlisted.lst: no unlisted words")
            << int(WordListChoice::Google) << QByteArray() << false << google << QStringList{};
        QTest::newRow("an unreadable unlisted.lst: no unlisted words")
            << int(WordListChoice::Google) << QByteArray() << true << google << QStringList{};
        QTest::newRow("a list of the user's own, after a shipped one, reads no unlisted.lst")
            << 0 << unlisted << false << google << QStringList{};
    }
    void wordsKeepTheirPlacesBesideTheUnlistedWords()
    {
        QFETCH(int, choice);
        QFETCH(QByteArray, unlisted);
        QFETCH(bool, unlistedIsFolder);
        QFETCH(QStringList, inOrder);
        QFETCH(QStringList, unlistedWords);
        openDatabase({QStringLiteral("Database"), QStringLiteral("Zorb"), std::nullopt, QStringLiteral("alpha"),
                      QStringLiteral("zorb")});
        writeList(QStringLiteral("google.col"), "search\r\n\r\nZorb\r\ngoogle\r\nzorb\r\nSEARCH\r\nquux\r\n");
        writeList(QStringLiteral("mit.col"),
                  crlf({QStringLiteral("zeta"), QStringLiteral("quux"), QStringLiteral("MIT")}));
        if (unlistedIsFolder)
            QVERIFY(QDir(folder()).mkdir(QStringLiteral("unlisted.lst")));
        else if (!unlisted.isNull())
            writeList(QStringLiteral("unlisted.lst"), unlisted);
        m_dictionary.setOrigin(choice == 0 ? WordDictionary::Origin::ShippedList : WordDictionary::Origin::UserList);
        if (choice == 0) {
            load(WordListChoice::Google);
            QCOMPARE(m_dictionary.origin(), WordDictionary::Origin::ShippedList);
            loadWordsFromFile(folder() + QStringLiteral("/google.col"), m_dictionary, m_prompter, m_pointer);
        } else {
            load(WordListChoice(choice));
        }

        QCOMPARE(m_dictionary.origin(),
                 choice == 0 ? WordDictionary::Origin::UserList : WordDictionary::Origin::ShippedList);
        QCOMPARE(QStringList(m_dictionary.wordsInOrder().cbegin(), m_dictionary.wordsInOrder().cend()), inOrder);
        QCOMPARE(m_dictionary.unlistedWords().toStringList(), unlistedWords);
        for (const QString& report : m_prompter.errorReports())
            QVERIFY2(report.contains(QStringLiteral("already in the word list")) ||
                         report.contains(QStringLiteral("Null")),
                     qPrintable(report));
        QCOMPARE(m_pointer.shape(), PointerShape::Default);
    }

    // The dictionary's set goes without a hash seed for speed; every other hash of the process keeps its seed.
    void loadingLeavesTheProcessHashSeedAlone()
    {
        QVERIFY(QHashSeed::globalSeed() != 0);
        writeList(QStringLiteral("mit.col"), crlf({QStringLiteral("one"), QStringLiteral("two")}));
        load(WordListChoice::Mit);
        QVERIFY(QHashSeed::globalSeed() != 0);
        QCOMPARE(sortedKeys(m_dictionary), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    }

    void loadingTwiceEqualsLoadingOnce()
    {
        writeList(QStringLiteral("mit.col"),
                  crlf({QStringLiteral("one"), QStringLiteral("Two"), QStringLiteral("two")}));
        load(WordListChoice::Mit);
        const QStringList once = sortedKeys(m_dictionary);
        const QStringList reportsOnce = m_prompter.errorReports();
        m_prompter.clear();
        load(WordListChoice::Mit);
        QCOMPARE(sortedKeys(m_dictionary), once);
        QCOMPARE(m_prompter.errorReports(), reportsOnce);
    }

    // A source that cannot be read: one report, an empty dictionary (even after a good load), the default pointer.
    void unreadableSourceGivesOneReportAndNoWords_data()
    {
        QTest::addColumn<WordListChoice>("choice");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("description");
        QTest::newRow("google.col missing") << WordListChoice::Google << "missing"
                                            << "120"
                                            << "google.col";
        QTest::newRow("mit.col missing") << WordListChoice::Mit << "missing"
                                         << "124"
                                         << "mit.col";
        QTest::newRow("a folder in place of google.col") << WordListChoice::Google << "folder"
                                                         << "120"
                                                         << "google.col";
        QTest::newRow("mit.col unreadable") << WordListChoice::Mit << "locked"
                                            << "124"
                                            << "mit.col";
        QTest::newRow("no word database") << WordListChoice::Database << "missing"
                                          << "106"
                                          << "The word database is not open.";
        QTest::newRow("words table cut short") << WordListChoice::Database << "truncated"
                                               << "106"
                                               << "it holds 3000 rows, but";
    }
    void unreadableSourceGivesOneReportAndNoWords()
    {
        QFETCH(WordListChoice, choice);
        QFETCH(QString, damage);
        QFETCH(QString, step);
        QFETCH(QString, description);
        if (damage == QLatin1String("locked") && ::geteuid() == 0)
            QSKIP("root reads files whatever their permissions");

        const QString fileName = choice == WordListChoice::Google ? QStringLiteral("google.col")
                                 : choice == WordListChoice::Mit  ? QStringLiteral("mit.col")
                                                                  : QStringLiteral("dbWords.mdb");
        const QString path = folder() + u'/' + fileName;
        // A good list of the other kind was loaded before: the failed load must not leave its words behind.
        m_dictionary.add(QStringLiteral("stale"));

        if (damage == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (damage == QLatin1String("locked")) {
            writeList(fileName, crlf({QStringLiteral("word")}));
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        } else if (damage == QLatin1String("truncated")) {
            QStringList words;
            for (int i = 0; i < 3000; ++i)
                words << QStringLiteral("w%1").arg(i);
            std::vector<std::optional<QString>> rows(words.cbegin(), words.cend());
            const QByteArray bytes = mkmdb::writeWordDatabase(rows);
            testfiles::writeBytes(path, bytes.left(bytes.size() - 4096));
            m_database = std::make_unique<WordDatabase>(path);
        }

        QList<PointerShape> pointerDuringReports;
        m_prompter.onShown = [&](const ScriptedPrompter::Shown&) { pointerDuringReports << m_pointer.shape(); };
        load(choice);
        const QStringList reports = m_prompter.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].contains(description), qPrintable(reports[0]));
        QVERIFY2(reports[0].contains(loadWordsLocation + step + QStringLiteral("\r\r")), qPrintable(reports[0]));
        QCOMPARE(m_prompter.shown().size(), 1);
        QCOMPARE(pointerDuringReports, QList<PointerShape>{PointerShape::Busy});
        QVERIFY(m_dictionary.isEmpty());
        QCOMPARE(m_pointer.shape(), PointerShape::Default);
    }

    void nullWordIsReportedAndSkipped()
    {
        openDatabase({QStringLiteral("first"), std::nullopt, QStringLiteral("Third"), QStringLiteral("third")});
        load(WordListChoice::Database);
        QCOMPARE(sortedKeys(m_dictionary), (QStringList{QStringLiteral("first"), QStringLiteral("third")}));
        const QStringList reports = m_prompter.errorReports();
        QCOMPARE(reports.size(), 2);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Row 2 of table \"words\" has no word (its third field is "
                                                      "Null).\r\n") +
                                       loadWordsLocation + QStringLiteral("110\r\r")),
                 qPrintable(reports[0]));
        QVERIFY2(reports[1].startsWith(QStringLiteral("The word \"third\" is already in the word list.\r\n") +
                                       loadWordsLocation + QStringLiteral("112\r\r")),
                 qPrintable(reports[1]));
    }

    // Thousands of duplicates must not mean thousands of modal boxes: the first ones are reported one by one,
    // the rest in one closing report. Every duplicate is skipped all the same.
    void duplicateFloodIsReportedBoundedly_data()
    {
        QTest::addColumn<int>("duplicates");
        QTest::addColumn<int>("reports");
        QTest::newRow("up to the bound: one report each") << maxWordReportsPerLoad << maxWordReportsPerLoad;
        QTest::newRow("one beyond the bound") << maxWordReportsPerLoad + 1 << maxWordReportsPerLoad + 1;
        QTest::newRow("ten thousand") << 10000 << maxWordReportsPerLoad + 1;
    }
    void duplicateFloodIsReportedBoundedly()
    {
        QFETCH(int, duplicates);
        QFETCH(int, reports);
        QStringList lines;
        for (int i = 0; i < duplicates; ++i)
            lines << QStringLiteral("word%1").arg(i) << QStringLiteral("WORD%1").arg(i);
        writeList(QStringLiteral("google.col"), crlf(lines));
        load(WordListChoice::Google);
        QCOMPARE(m_dictionary.size(), duplicates);
        const QStringList shown = m_prompter.errorReports();
        QCOMPARE(shown.size(), reports);
        if (duplicates > maxWordReportsPerLoad) {
            QVERIFY2(shown.last().startsWith(QStringLiteral("%1 more words were skipped because they were already in "
                                                            "the word list or could not be read.")
                                                 .arg(duplicates - maxWordReportsPerLoad)),
                     qPrintable(shown.last()));
            QVERIFY(shown.last().contains(loadWordsLocation + QStringLiteral("130\r\r")));
        }
        QCOMPARE(m_pointer.shape(), PointerShape::Default);
    }
};

QTEST_GUILESS_MAIN(TestWordLists)
#include "test_wordlists.moc"
