#include "CollectedRows.h"
#include "ReferenceRows.h"
#include "TestFiles.h"
#include "core/Failure.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDictionary.h"
#include "run/RowFormat.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

namespace {} // namespace

class TestEntryProcessor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder; // holds a suffix.lst with com and net
    WordDictionary m_dictionary;

    // The rows built the plain way, for the row writer to be compared with.
    EntryProcessor::Outcome run(EntryProcessor& processor, const QString& entry, bool showOriginal,
                                qsizetype maxCandidates, QStringList& rows, const QString& folder = QString())
    {
        const ReferenceRows reference(processor, folder.isEmpty() ? m_folder.path() : folder, entry,
                                      SplitOptions{showOriginal, maxCandidates});
        rows += reference.rows;
        EntryProcessor::Outcome outcome;
        outcome.cut = reference.cut;
        outcome.failures = reference.failures;
        outcome.rows = reference.rows.size();
        return outcome;
    }

private slots:
    void initTestCase()
    {
        testfiles::writeBytes(m_folder.filePath("suffix.lst"), "com\r\nnet\r\n");
        for (const char* word : {"car", "pet", "carpet", "pe", "t"})
            m_dictionary.add(QString::fromLatin1(word));
    }

    void rows_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("showOriginal");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("three candidates in order")
            << "carpet.com" << false << QStringList{"car pe t", "car pet", "carpet"};
        QTest::newRow("original shown trimmed, as entered")
            << "  http://www.CarPet.com  " << true
            << QStringList{"http://www.CarPet.com - Car Pe t", "http://www.CarPet.com - Car Pet",
                           "http://www.CarPet.com - CarPet"};
        QTest::newRow("path split together with the name")
            << "car.net/pet" << false << QStringList{"car pe t", "car pet", "carpet"};
        QTest::newRow("blanks inside are removed before the search")
            << " car pe t " << false << QStringList{"car pe t", "car pet", "carpet"};
        QTest::newRow("no split, no row") << "carx.com" << true << QStringList();
        QTest::newRow("empty after cleaning: one empty row") << "www." << false << QStringList{""};
        QTest::newRow("empty after cleaning, original shown") << " www. " << true << QStringList{"www. - "};
    }
    void rows()
    {
        QFETCH(QString, entry);
        QFETCH(bool, showOriginal);
        QFETCH(QStringList, rows);
        EntryProcessor processor(m_dictionary, m_folder.path());
        QStringList streamed;
        const EntryProcessor::Outcome outcome = run(processor, entry, showOriginal, 0, streamed);
        QCOMPARE(streamed, rows);
        QCOMPARE(outcome.rows, rows.size());
        QVERIFY(outcome.failures.isEmpty());
        QVERIFY(!outcome.cut);

        // The same rows from the row writer, as every front end takes them.
        CollectedRows output(4096);
        const EntryProcessor::Outcome written =
            RowFormat{}.write(processor, entry, SplitOptions{showOriginal, 0}, output);
        QByteArray bytes;
        for (const QString& row : std::as_const(rows))
            bytes += row.toUtf8() + '\n';
        QCOMPARE(output.bytes(), bytes);
        QCOMPARE(written.rows, rows.size());
        QVERIFY(written.cleaned);
    }

    // The batch splitter's bytes: each row of process() in UTF-8, ended by LF, and the same outcome.
    void writtenRowsAreTheRowsInUtf8_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("showOriginal");
        QTest::addColumn<qsizetype>("bound");
        QTest::addColumn<qsizetype>("room");
        const QString deseret = QString::fromUcs4(U"\U00010400");
        QTest::newRow("ASCII") << "carpet.com" << false << qsizetype(0) << qsizetype(4096);
        QTest::newRow("ASCII, original shown") << " CarPet.net " << true << qsizetype(0) << qsizetype(4096);
        QTest::newRow("two- and three-byte characters")
            << QStringLiteral("Caf\u00E9Na\u00EFve\u20AC12\uFFFD") << false << qsizetype(0) << qsizetype(4096);
        QTest::newRow("original with characters beyond the text's")
            << QStringLiteral("\u00FF\u00E9car.com") << true << qsizetype(0) << qsizetype(4096);
        QTest::newRow("pair of surrogates, a piece ending between them")
            << QString(QStringLiteral("a") + deseret + QStringLiteral("car")) << true << qsizetype(0)
            << qsizetype(4096);
        QTest::newRow("lone surrogate") << QString(QStringLiteral("car") + QChar(0xDC00)) << false << qsizetype(0)
                                        << qsizetype(4096);
        QTest::newRow("empty text, original shown") << " www. " << true << qsizetype(0) << qsizetype(4096);
        QTest::newRow("empty text") << "www." << false << qsizetype(0) << qsizetype(4096);
        QTest::newRow("cut by the bound") << "12345678" << false << qsizetype(20) << qsizetype(4096);
        QTest::newRow("rows longer than 64 bytes")
            << "1234567890123456789012345678901234567890.com" << false << qsizetype(50) << qsizetype(4096);
        // At 32 characters the longest row, one blank between every two, just fills 64 bytes with its LF.
        QTest::newRow("32 characters, rows up to 64 bytes")
            << "12345678901234567890123456789012" << false << qsizetype(40) << qsizetype(4096);
        QTest::newRow("33 characters, rows up to 66 bytes")
            << "123456789012345678901234567890123" << false << qsizetype(40) << qsizetype(4096);
        QTest::newRow("rows larger than the buffer") << "1234567" << true << qsizetype(0) << qsizetype(5);
        QTest::newRow("buffer full within a row") << "car1234567" << false << qsizetype(0) << qsizetype(37);
        QTest::newRow("no split") << "carx.com" << true << qsizetype(0) << qsizetype(4096);
    }
    void writtenRowsAreTheRowsInUtf8()
    {
        QFETCH(QString, entry);
        QFETCH(bool, showOriginal);
        QFETCH(qsizetype, bound);
        QFETCH(qsizetype, room);
        WordDictionary words;
        for (const QString& word :
             {QStringLiteral("car"), QStringLiteral("pet"), QStringLiteral("carpet"), QStringLiteral("caf\u00E9"),
              QStringLiteral("caf"), QStringLiteral("\u00E9"), QStringLiteral("na\u00EFve"), QStringLiteral("\u20AC"),
              QStringLiteral("\uFFFD"), QStringLiteral("\u00FF\u00E9car"), QStringLiteral("a"),
              QString::fromUcs4(U"\U00010428"), QString(QChar(0xD801)), QString(QChar(0xDC00)),
              QString(QChar(0xDC00)) + QStringLiteral("car")})
            words.add(WordDictionary::lowerCase(word));
        EntryProcessor processor(words, m_folder.path());
        QStringList rows;
        const EntryProcessor::Outcome expected = run(processor, entry, showOriginal, bound, rows);
        QByteArray expectedBytes;
        for (const QString& row : std::as_const(rows))
            expectedBytes += row.toUtf8() + '\n';

        CollectedRows output(room);
        const EntryProcessor::Outcome got =
            RowFormat{}.write(processor, entry, SplitOptions{showOriginal, bound}, output);
        QCOMPARE(output.bytes(), expectedBytes);
        QCOMPARE(got.rows, expected.rows);
        QCOMPARE(got.cut, expected.cut);
        QCOMPARE(got.failures, expected.failures);
        QVERIFY(got.rows > 0 || entry.contains(QStringLiteral("carx")));
    }

    // Random names, each written as bytes and listed as rows: the same rows, bound and outcome. Most are short
    // ASCII texts; some are longer than 64 characters or not ASCII.
    void writtenRowsAreTheRowsOfRandomNames()
    {
        WordDictionary words;
        for (const char* word : {"a", "ab", "b", "ba", "abc", "c", "e", "d1"})
            words.add(QString::fromLatin1(word));
        words.add(QStringLiteral("\u00E9"));
        EntryProcessor processor(words, m_folder.path());
        const QStringList parts{"a", "B", "ab", "c", "1", "2", "e5", ".", "-", "/", " ", ".com", "x", "\u00E9", "D1"};
        QRandomGenerator random(20261209);
        int shortAscii = 0;
        for (int n = 0; n < 2000; ++n) {
            QString entry;
            const int count = random.bounded(0, n % 10 == 0 ? 60 : 14);
            for (int k = 0; k < count; ++k)
                entry += parts[random.bounded(int(parts.size()) - (n % 3 == 0 ? 0 : 1))];
            const bool showOriginal = random.bounded(2) == 1;
            const qsizetype bound = random.bounded(3) == 0 ? random.bounded(1, 6) : 0;
            QStringList rows;
            const EntryProcessor::Outcome expected = run(processor, entry, showOriginal, bound, rows);
            QByteArray expectedBytes;
            for (const QString& row : std::as_const(rows))
                expectedBytes += row.toUtf8() + '\n';
            CollectedRows output(random.bounded(2) ? 4096 : random.bounded(1, 80));
            const EntryProcessor::Outcome got =
                RowFormat{}.write(processor, entry, SplitOptions{showOriginal, bound}, output);
            if (output.bytes() != expectedBytes)
                QFAIL(qPrintable(QStringLiteral("\"%1\": wrote\n%2\nexpected\n%3")
                                     .arg(entry, QString::fromUtf8(output.bytes()), QString::fromUtf8(expectedBytes))));
            QCOMPARE(got.rows, expected.rows);
            QCOMPARE(got.cut, expected.cut);
            QCOMPARE(got.failures, expected.failures);
            QString text;
            NameCleaner(m_folder.path()).cleanForSearch(entry, text);
            if (text.size() <= 64 && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
                shortAscii += rows.isEmpty() ? 0 : 1;
        }
        QVERIFY2(shortAscii > 500 && shortAscii < 1900, qPrintable(QString::number(shortAscii)));
    }

    // Words whose ASCII characters are too many for the double-array trie (possible only for words added
    // without lower-casing): short ASCII texts go the general way, with the same rows.
    void writtenRowsWithoutTheDoubleArrayTrie()
    {
        WordDictionary words;
        for (char16_t unit = 1; unit < 0x80; ++unit)
            words.add(QString(QChar(unit)));
        words.add(QStringLiteral("car"));
        EntryProcessor processor(words, m_folder.path());
        for (const QString& entry : {QStringLiteral("car.com"), QStringLiteral("Car-Pet1"), QStringLiteral("www.")}) {
            QStringList rows;
            const EntryProcessor::Outcome expected = run(processor, entry, true, 0, rows);
            QByteArray expectedBytes;
            for (const QString& row : std::as_const(rows))
                expectedBytes += row.toUtf8() + '\n';
            CollectedRows output(4096);
            const EntryProcessor::Outcome got = RowFormat{}.write(processor, entry, SplitOptions{true, 0}, output);
            QCOMPARE(output.bytes(), expectedBytes);
            QCOMPARE(got.rows, expected.rows);
        }
        QStringList rows;
        run(processor, "car.com", false, 0, rows);
        QCOMPARE(rows, (QStringList{"c a r", "car"}));
    }

    // A processor made for another thread shares the first one's index of the words: the same rows; and
    // when the word list changes, each of them searches the new words from its next entry on, whichever
    // notices the change first.
    void processorForAnotherThreadFollowsTheWords()
    {
        WordDictionary words;
        for (const char* word : {"car", "pet"})
            words.add(QString::fromLatin1(word));
        EntryProcessor first(words, m_folder.path());
        first.prepareIndex();
        EntryProcessor second(first);
        const auto rowsOf = [&](EntryProcessor& processor, const QString& entry) {
            CollectedRows output(4096);
            RowFormat{}.write(processor, entry, SplitOptions{false, 0}, output);
            return output.bytes();
        };
        QCOMPARE(rowsOf(second, "carpet.com"), QByteArray("car pet\n"));
        QCOMPARE(rowsOf(first, "carpet.com"), QByteArray("car pet\n"));
        words.add(QStringLiteral("carpet"));
        QCOMPARE(rowsOf(second, "CarPet"), QByteArray("Car Pet\nCarPet\n"));
        QCOMPARE(rowsOf(first, "CarPet"), QByteArray("Car Pet\nCarPet\n"));
        words.clear();
        words.add(QStringLiteral("pet"));
        QCOMPARE(rowsOf(first, "carpet"), QByteArray());
        QCOMPARE(rowsOf(second, "petpet"), QByteArray("pet pet\n"));
    }

    void writtenRowsOfFailedEntries()
    {
        WordDictionary letters;
        letters.add(QStringLiteral("a"));
        EntryProcessor processor(letters, m_folder.path());
        CollectedRows output(64);
        EntryProcessor::Outcome outcome =
            RowFormat{}.write(processor, QString(32767, QLatin1Char('a')), SplitOptions{false, 0}, output);
        QCOMPARE(output.bytes(), QByteArray("a ").repeated(32766) + "a\n");
        QCOMPARE(outcome.rows, 1);
        QCOMPARE(outcome.failures.size(), 1);
        QVERIFY(outcome.failures[0].startsWith(QStringLiteral("Overflow")));

        QTemporaryDir folder;
        testfiles::writeBytes(folder.filePath("suffix.lst"), QByteArray("com\r\n").repeated(40000));
        EntryProcessor overflowing(letters, folder.path());
        CollectedRows none(64);
        outcome = RowFormat{}.write(overflowing, u"a.com", SplitOptions{true, 0}, none);
        QVERIFY(none.bytes().isEmpty());
        QCOMPARE(outcome.rows, 0);
        QCOMPARE(outcome.failures.size(), 1);
        QVERIFY(outcome.failures[0].contains(QStringLiteral("suffix.lst")));
    }

    void cutEntryListsTheBoundAndSaysSo()
    {
        EntryProcessor processor(m_dictionary, m_folder.path());
        CollectedRows output(4096);
        const EntryProcessor::Outcome outcome = RowFormat{}.write(processor, u"12345", SplitOptions{false, 3}, output);
        QVERIFY(outcome.cut);
        QCOMPARE(output.bytes(), QByteArray("1 2 3 4 5\n1 2 3 45\n1 2 34 5\n"));
    }

    void failedSearchKeepsEarlierRows()
    {
        WordDictionary letters;
        letters.add(QStringLiteral("a"));
        EntryProcessor processor(letters, m_folder.path());
        for (const SplitOrder order : {SplitOrder::Search, SplitOrder::Ranked}) {
            CollectedRows output(4096);
            EntryProcessor::Outcome outcome =
                RowFormat{}.write(processor, QString(32767, QLatin1Char('a')), SplitOptions{false, 0, order}, output);
            QCOMPARE(outcome.rows, 1);
            QCOMPARE(outcome.failures.size(), 1);
            QVERIFY(outcome.failures[0].startsWith(QStringLiteral("Overflow")));

            CollectedRows none(4096);
            outcome =
                RowFormat{}.write(processor, QString(32768, QLatin1Char('a')), SplitOptions{false, 0, order}, none);
            QVERIFY(none.bytes().isEmpty());
            QCOMPARE(outcome.failures.size(), 1);
            QVERIFY(outcome.cleaned);
        }
    }

    // The window's bound on what a name's rows keep: a long name with many splits is cut before its rows take
    // gigabytes, and says so; the rows before the cut are those without the bound.
    void keptUnitsBoundCutsLongNames_data()
    {
        QTest::addColumn<int>("order");
        QTest::newRow("search order") << int(SplitOrder::Search);
        QTest::newRow("ranked") << int(SplitOrder::Ranked);
    }
    void keptUnitsBoundCutsLongNames()
    {
        QFETCH(int, order);
        WordDictionary letters;
        letters.add(QStringLiteral("a"));
        letters.add(QStringLiteral("aa"));
        EntryProcessor processor(letters, m_folder.path());
        const QString entry(100, QLatin1Char('a'));
        SplitOptions options{false, 50, SplitOrder(order)};
        CollectedRows unbound(4096);
        RowFormat{}.write(processor, entry, options, unbound);
        options.maxKeptUnits = 1000; // each split keeps 100 letters and one blank per piece
        CollectedRows bound(4096);
        const EntryProcessor::Outcome outcome = RowFormat{}.write(processor, entry, options, bound);
        QVERIFY(outcome.cut);
        QVERIFY(outcome.rows >= 5 && outcome.rows < 10);
        const QList<QByteArray> all = unbound.bytes().split('\n');
        QCOMPARE(bound.bytes(), all.mid(0, outcome.rows).join('\n') + '\n');
    }

    void failedCleaningGivesNoRows()
    {
        QTemporaryDir folder;
        testfiles::writeBytes(folder.filePath("suffix.lst"), QByteArray("com\r\n").repeated(40000));
        EntryProcessor processor(m_dictionary, folder.path());
        CollectedRows output(64);
        const EntryProcessor::Outcome outcome =
            RowFormat{}.write(processor, u"carpet.com", SplitOptions{false, 0}, output);
        QVERIFY(output.bytes().isEmpty());
        QCOMPARE(outcome.rows, 0);
        QVERIFY(!outcome.cleaned);
        QCOMPARE(outcome.failures.size(), 1);
        QVERIFY(outcome.failures[0].contains(QStringLiteral("suffix.lst")));
    }
};

QTEST_GUILESS_MAIN(TestEntryProcessor)
#include "test_entryprocessor.moc"
