#include "TestFiles.h"
#include "core/Failure.h"
#include "engine/EntryProcessor.h"
#include "engine/WordDictionary.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

class TestEntryProcessor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder; // holds a suffix.lst with com and net
    WordDictionary m_dictionary;

    EntryProcessor::Outcome run(EntryProcessor& processor, const QString& entry, bool showOriginal,
                                qsizetype maxCandidates, QStringList& rows)
    {
        return processor.process(entry, showOriginal, maxCandidates,
                                 [&](QStringView row) { rows.append(row.toString()); });
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

        // The same rows step by step, as the window calls them.
        const QString text = removeBlanks(processor.clean(entry));
        QStringList candidates;
        QVERIFY(!processor.search(text, candidates));
        QCOMPARE(EntryProcessor::rowTexts(entry, candidates, showOriginal), rows);
    }

    void cutEntryListsTheBoundAndSaysSo()
    {
        EntryProcessor processor(m_dictionary, m_folder.path());
        QStringList rows;
        const EntryProcessor::Outcome outcome = run(processor, "12345", false, 3, rows);
        QVERIFY(outcome.cut);
        QCOMPARE(rows, (QStringList{"1 2 3 4 5", "1 2 3 45", "1 2 34 5"}));
    }

    void failedSearchKeepsEarlierRows()
    {
        WordDictionary letters;
        letters.add(QStringLiteral("a"));
        EntryProcessor processor(letters, m_folder.path());
        QStringList rows;
        EntryProcessor::Outcome outcome = run(processor, QString(32767, QLatin1Char('a')), false, 0, rows);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(outcome.failures.size(), 1);
        QVERIFY(outcome.failures[0].startsWith(QStringLiteral("Overflow")));

        rows.clear();
        outcome = run(processor, QString(32768, QLatin1Char('a')), false, 0, rows);
        QVERIFY(rows.isEmpty());
        QCOMPARE(outcome.failures.size(), 1);
    }

    void failedCleaningGivesNoRows()
    {
        QTemporaryDir folder;
        testfiles::writeBytes(folder.filePath("suffix.lst"), QByteArray("com\r\n").repeated(40000));
        EntryProcessor processor(m_dictionary, folder.path());
        QStringList rows;
        const EntryProcessor::Outcome outcome = run(processor, "carpet.com", false, 0, rows);
        QVERIFY(rows.isEmpty());
        QCOMPARE(outcome.failures.size(), 1);
        QVERIFY(outcome.failures[0].contains(QStringLiteral("suffix.lst")));
        QVERIFY_THROWS_EXCEPTION(Failure, processor.clean("carpet.com"));
    }
};

QTEST_GUILESS_MAIN(TestEntryProcessor)
#include "test_entryprocessor.moc"
