// Word lists that are empty, in an unexpected encoding, full of duplicates, or a word database that is cut
// short, damaged or without its table. The window starts or switches lists, tells what is wrong in a bounded
// number of boxes, and stays usable with any other list.
#include "JetWriter.h"
#include "MainWindow.h"
#include "WindowHarness.h"
#include "core/Pointer.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QtTest>

using namespace quorvane;
using quorvane::testwindow::WindowHarness;

namespace {

const QString reportEnd = QStringLiteral("\r\rPlease email screenshot of this message to support@quorvane.example");

QByteArray utf16BigEndian(const QString& text)
{
    QByteArray bytes("\xFE\xFF", 2);
    for (const QChar unit : text) {
        bytes.append(static_cast<char>(unit.unicode() >> 8));
        bytes.append(static_cast<char>(unit.unicode() & 0xFF));
    }
    return bytes;
}

// 10,000 words of letters, then each again in capitals: every second half line is a duplicate.
QByteArray caseDuplicates()
{
    QStringList words;
    for (int i = 0; i < 10000; ++i) {
        QString word;
        for (int n = i + 26 * 26; n > 0; n /= 26)
            word.prepend(QChar(u'a' + n % 26));
        words.append(word);
    }
    QStringList lines = words;
    for (const QString& word : std::as_const(words))
        lines.append(word.toUpper());
    return lines.join(QStringLiteral("\r\n")).toLatin1();
}

QByteArray shippedDatabase()
{
    return testfiles::readBytes(testfiles::applicationFolder() + QStringLiteral("/dbWords.mdb"));
}

QByteArray corruptedDatabase()
{
    QByteArray bytes = shippedDatabase();
    // The pages after the header and the table catalog's first page: table definitions and data.
    const qsizetype from = 3 * 4096;
    const qsizetype length = std::min<qsizetype>(bytes.size(), 40 * 4096) - from;
    bytes.replace(from, length, testfiles::randomBytes(length, 2021));
    return bytes;
}

QByteArray databaseWithoutWordsTable()
{
    mkmdb::JetOptions options;
    options.tableName = QStringLiteral("wordlist");
    return mkmdb::writeWordDatabase({QStringLiteral("sunset"), QStringLiteral("photos")}, options);
}

} // namespace

class TestHostileWordLists : public QObject
{
    Q_OBJECT

private slots:
    void wordListFileIsLoadedAsFarAsItCanBe_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("words");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("0-byte google.col: no words, no box") << QByteArray() << 0 << QStringList{};
        QTest::newRow("UTF-16 BE with its mark") << utf16BigEndian(QStringLiteral("sunset\r\nPhotos\r\n")) << 2
                                                 << QStringList{QStringLiteral("sunset photos")};
    }

    void wordListFileIsLoadedAsFarAsItCanBe()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, words);
        QFETCH(QStringList, rows);
        WindowHarness harness;
        const QString folder = harness.makeApplicationFolder(
            {QStringLiteral("dbWords.mdb"), QStringLiteral("suffix.lst"), QStringLiteral("mit.col")});
        testfiles::writeBytes(folder + QStringLiteral("/google.col"), bytes);
        MainWindow& window = harness.load();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(false);
        window.findChild<QRadioButton*>(QStringLiteral("Option2"))->click();
        QCOMPARE(window.dictionary().size(), words);
        QVERIFY(harness.prompter.shown().isEmpty());
        QCOMPARE(window.pointer().shape(), PointerShape::Default);

        window.domainList().append(QStringLiteral("sunsetphotos.com"));
        window.PushButton9_Click();
        QCOMPARE(window.resultList().texts(), rows);
        QCOMPARE(harness.prompter.messages(), QStringList{QStringLiteral("Done.")});
    }

    void tenThousandCaseDuplicatesShowElevenBoxes()
    {
        WindowHarness harness;
        const QString folder = harness.makeApplicationFolder(
            {QStringLiteral("dbWords.mdb"), QStringLiteral("suffix.lst"), QStringLiteral("mit.col")});
        testfiles::writeBytes(folder + QStringLiteral("/google.col"), caseDuplicates());
        MainWindow& window = harness.load();
        window.findChild<QRadioButton*>(QStringLiteral("Option2"))->click();

        QCOMPARE(window.dictionary().size(), 10000);
        const QStringList reports = harness.prompter.errorReports();
        // One box per duplicate would be 10,000 modal boxes: the first ten are shown, the rest counted in one.
        QCOMPARE(reports.size(), 11);
        QCOMPARE(reports[0], QStringLiteral("The word \"baa\" is already in the word list.\r\n"
                                            "in Velmodra2021/08/31.modSplitIntoWords.loadWords at line 130") +
                                 reportEnd);
        QCOMPARE(reports[10], QStringLiteral("9990 more words were skipped because they were already in the word "
                                             "list or could not be read. Only the first 10 were reported one by "
                                             "one.\r\nin Velmodra2021/08/31.modSplitIntoWords.loadWords at line 130") +
                                  reportEnd);
        QCOMPARE(harness.prompter.shown().size(), 11);
        QCOMPARE(window.pointer().shape(), PointerShape::Default);
    }

    void damagedWordDatabaseIsReportedAndTheOtherListsStillWork_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("reports");
        // "%1" stands for the database's path.
        const QString notOpen = QStringLiteral("The word database is not open.\r\n"
                                               "in Velmodra2021/08/31.modSplitIntoWords.loadWords at line 106");
        const QString damaged = QStringLiteral("The word database \"%1\" is damaged and cannot be read.\r\n"
                                               "in Velmodra2021/08/31.Form1.Form_Load at line 108");
        QTest::newRow("truncated to its first half")
            << shippedDatabase().left(shippedDatabase().size() / 2) << QStringList{damaged, notOpen};
        QTest::newRow("pages overwritten with random bytes") << corruptedDatabase() << QStringList{damaged, notOpen};
        QTest::newRow("no table words") << databaseWithoutWordsTable()
                                        << QStringList{
                                               QStringLiteral("The word database \"%1\" has no table \"words\".\r\n"
                                                              "in Velmodra2021/08/31.modSplitIntoWords.loadWords "
                                                              "at line 106")};
        QTest::newRow("0 bytes") << QByteArray()
                                 << QStringList{QStringLiteral("\"%1\" is not an Access database.\r\n"
                                                               "in Velmodra2021/08/31.Form1.Form_Load at line 108"),
                                                notOpen};
    }

    void damagedWordDatabaseIsReportedAndTheOtherListsStillWork()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, reports);
        WindowHarness harness(WindowHarness::FirstRun);
        const QString folder = harness.makeApplicationFolder({QStringLiteral("suffix.lst"), QStringLiteral("mit.col")});
        const QString database = folder + QStringLiteral("/dbWords.mdb");
        testfiles::writeBytes(database, bytes);
        for (QString& report : reports)
            report = QString(report).replace(QStringLiteral("%1"), database) + reportEnd;
        MainWindow& window = harness.load();
        // Start-up goes on to show the window; word list #1 is empty.
        QCOMPARE(harness.prompter.errorReports(), reports);
        QVERIFY(harness.prompter.messages().isEmpty());
        QCOMPARE(window.dictionary().size(), 0);
        QCOMPARE(window.pointer().shape(), PointerShape::Default);

        harness.prompter.clear();
        window.findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(false);
        window.findChild<QRadioButton*>(QStringLiteral("Option3"))->click();
        window.domainList().append(QStringLiteral("sunsetphotos.com"));
        window.PushButton9_Click();
        QVERIFY(window.resultList().texts().contains(QStringLiteral("sunset photos")));
        QCOMPARE(harness.prompter.shown().size(), 1); // "Done."
    }
};

QTEST_MAIN(TestHostileWordLists)
#include "test_hostilewordlists.moc"
