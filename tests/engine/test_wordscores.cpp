#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "core/Pointer.h"
#include "engine/WordDictionary.h"
#include "engine/WordLists.h"
#include "engine/WordScores.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <thread>
#include <vector>

using namespace quorvane;

namespace {

using Origin = WordDictionary::Origin;

// The words in this order, and the words no spelling list holds.
WordDictionary dictionaryOf(const QStringList& words, Origin origin, const QStringList& unlisted = {})
{
    WordDictionary dictionary;
    dictionary.setOrigin(origin);
    for (const QString& word : words)
        dictionary.add(word);
    TextBlock block;
    for (const QString& word : unlisted)
        block.add(word);
    dictionary.setUnlistedWords(std::move(block));
    return dictionary;
}

// The Zipf score with the piece bonus of the word at `place` among `count` words, in nats, written out here
// the plain way.
double zipfNats(qsizetype place, qsizetype count)
{
    return std::log(1.0 / ((double(place) + 1.0) * (std::log(double(count)) + 0.5772))) + 1.0;
}

// `count` distinct words of five letters and more, none of them a word of English or a compound of the
// tests' words: "qx" followed by the count in letters j to y.
QStringList fillerWords(qsizetype count)
{
    QStringList words;
    words.reserve(count);
    for (qsizetype n = 0; n < count; ++n) {
        QString word = QStringLiteral("qx");
        for (qsizetype v = n;; v /= 16) {
            word += QChar(u'j' + char16_t(v % 16));
            if (v < 16)
                break;
        }
        words.append(word);
    }
    return words;
}

} // namespace

class TestWordScores : public QObject
{
    Q_OBJECT

private slots:
    void scoresFollowLineOrder_data()
    {
        QTest::addColumn<int>("origin");
        QTest::newRow("a shipped list") << int(Origin::ShippedList);
        QTest::newRow("a list of the user's own") << int(Origin::UserList);
    }

    // Words of the same kind (listed, three letters or more, no compound) score by their place alone, the
    // earlier the higher, as Zipf's law estimates from the place.
    void scoresFollowLineOrder()
    {
        QFETCH(int, origin);
        const QStringList words = fillerWords(1000);
        const WordDictionary dictionary = dictionaryOf(words, Origin(origin));
        const WordScores scores(dictionary);
        qint32 previous = std::numeric_limits<qint32>::max();
        for (qsizetype place = 0; place < words.size(); ++place) {
            const qint32 score = scores.pieceScore(words[place]);
            QCOMPARE(score, WordScores::units(zipfNats(place, words.size())));
            QVERIFY2(score <= previous, qPrintable(words[place]));
            previous = score;
        }
        QVERIFY(scores.pieceScore(words.first()) > scores.pieceScore(words[10]));
        QVERIFY(scores.pieceScore(words[10]) > scores.pieceScore(words.last()));
    }

    void adjustmentsApplyToTheShippedLists_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("unlisted");
        QTest::addColumn<QString>("word");
        QTest::addColumn<double>("adjustment");

        const QStringList common{QStringLiteral("cat"),   QStringLiteral("dog"),      QStringLiteral("a"),
                                 QStringLiteral("an"),    QStringLiteral("zorb"),     QStringLiteral("catdog"),
                                 QStringLiteral("ancat"), QStringLiteral("dogdogcat")};
        QTest::newRow("one letter") << common << QStringList() << "a" << WordScores::oneLetterPenalty;
        QTest::newRow("two letters") << common << QStringList() << "an" << WordScores::twoLetterPenalty;
        QTest::newRow("three letters") << common << QStringList() << "cat" << 0.0;
        QTest::newRow("unlisted") << common << QStringList{"zorb"} << "zorb" << WordScores::unlistedPenalty;
        QTest::newRow("unlisted in another letter case")
            << common << QStringList{"Zorb", "emu"} << "zorb" << WordScores::unlistedPenalty;
        QTest::newRow("another word unlisted") << common << QStringList{"catdo", "zorbs"} << "zorb" << 0.0;
        QTest::newRow("compound of two common words")
            << common << QStringList() << "catdog" << WordScores::compoundBonus;
        QTest::newRow("unlisted compound")
            << common << QStringList{"catdog"} << "catdog"
            << WordScores::compoundBonus + WordScores::unlistedPenalty + WordScores::unlistedCompoundPenalty;
        QTest::newRow("a part of two letters is no compound") << common << QStringList() << "ancat" << 0.0;
        QTest::newRow("three parts are no compound") << common << QStringList() << "dogdogcat" << 0.0;
        QTest::newRow("a part that is no word is no compound") << common << QStringList() << "zorb" << 0.0;

        // Parts count as common among the list's first compoundPartPlaces words only.
        QStringList late = fillerWords(WordScores::compoundPartPlaces - 1);
        late += QStringList{QStringLiteral("cat"), QStringLiteral("dog"), QStringLiteral("catdog")};
        QTest::newRow("a part just beyond the common places") << late << QStringList() << "catdog" << 0.0;
        late.swapItemsAt(0, late.indexOf(QStringLiteral("dog")));
        QTest::newRow("both parts within the common places")
            << late << QStringList() << "catdog" << WordScores::compoundBonus;
    }

    // A word of a shipped list scores its Zipf score, adjusted by what is known of it; the same words as a
    // list of the user's own get the Zipf score alone.
    void adjustmentsApplyToTheShippedLists()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, unlisted);
        QFETCH(QString, word);
        QFETCH(double, adjustment);
        const WordDictionary shipped = dictionaryOf(words, Origin::ShippedList, unlisted);
        const WordDictionary own = dictionaryOf(words, Origin::UserList, unlisted);
        const double zipf = zipfNats(words.indexOf(word), words.size());
        QCOMPARE(WordScores(shipped).pieceScore(word), WordScores::units(zipf + adjustment));
        QCOMPARE(WordScores(own).pieceScore(word), WordScores::units(zipf));
    }

    // quorvane-split --words FILE: the user's list is ranked by its line order alone, whatever the lengths of
    // its words and whatever "unlisted.lst" beside it says; the shipped lists read that file.
    void aUsersListIsRankedByItsLineOrderAlone()
    {
        QTemporaryDir folder;
        const QStringList lines{QStringLiteral("zorb"), QStringLiteral("a"),   QStringLiteral("catdog"),
                                QStringLiteral("on"),   QStringLiteral("cat"), QStringLiteral("dog")};
        const QByteArray bytes = lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
        testfiles::writeBytes(folder.filePath(QStringLiteral("words.txt")), bytes);
        testfiles::writeBytes(folder.filePath(QStringLiteral("google.col")), bytes);
        testfiles::writeBytes(folder.filePath(QStringLiteral("unlisted.lst")), "zorb\r\ncatdog\r\n");
        ScriptedPrompter prompter;
        PlainPointer pointer;

        WordDictionary dictionary;
        loadWordsFromFile(folder.filePath(QStringLiteral("words.txt")), dictionary, prompter, pointer);
        WordScores scores(dictionary);
        for (qsizetype place = 0; place < lines.size(); ++place)
            QCOMPARE(scores.pieceScore(lines[place]), WordScores::units(zipfNats(place, lines.size())));

        loadWords(WordListChoice::Google, nullptr, folder.path(), dictionary, prompter, pointer);
        scores.refresh();
        QCOMPARE(scores.pieceScore(u"zorb"), WordScores::units(zipfNats(0, 6) + WordScores::unlistedPenalty));
        QCOMPARE(scores.pieceScore(u"a"), WordScores::units(zipfNats(1, 6) + WordScores::oneLetterPenalty));
        QCOMPARE(scores.pieceScore(u"dog"), WordScores::units(zipfNats(5, 6)));
        QCOMPARE(prompter.shown().size(), 0);
    }

    void numbersAndOtherPieces_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("piece");
        QTest::addColumn<QString>("scoredAs"); // "number", "none", or the word whose score it gets

        const QStringList words{QStringLiteral("flowers"), QStringLiteral("sale"), QStringLiteral("911"),
                                QStringLiteral("café"), QStringLiteral("kat")};
        QTest::newRow("digits") << words << "1800"
                                << "number";
        QTest::newRow("one digit") << words << "4"
                                   << "number";
        QTest::newRow("decimal with exponent") << words << "1E5"
                                               << "number";
        QTest::newRow("hexadecimal") << words << "&H1f"
                                     << "number";
        QTest::newRow("a number that is also a word scores as the word") << words << "911"
                                                                         << "911";
        QTest::newRow("upper case") << words << "FloWers"
                                    << "flowers";
        QTest::newRow("beyond ASCII") << words << "CAFÉ"
                                      << "café";
        QTest::newRow("lower-cases to ASCII") << words << QString(QChar(0x212A)) + "at"
                                              << "kat";
        QTest::newRow("neither word nor number") << words << "flower"
                                                 << "none";
        QTest::newRow("longer than any word") << words << "flowersflowers"
                                              << "none";
        QTest::newRow("beyond ASCII, unknown") << words << "cafés"
                                               << "none";
        QTest::newRow("a lone sign") << words << "-"
                                     << "none";
        QTest::newRow("empty") << words << ""
                               << "none";
        QTest::newRow("empty list, a number") << QStringList() << "12"
                                              << "number";
        QTest::newRow("empty list, a word") << QStringList() << "sale"
                                            << "none";
    }

    void numbersAndOtherPieces()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, piece);
        QFETCH(QString, scoredAs);
        const WordDictionary dictionary = dictionaryOf(words, Origin::ShippedList);
        const WordScores scores(dictionary);
        const qint32 expected = scoredAs == u"number" ? WordScores::numberScore()
                                : scoredAs == u"none" ? WordScores::notAPiece
                                                      : scores.pieceScore(scoredAs);
        QCOMPARE(scores.pieceScore(piece), expected);
        if (scoredAs != u"number" && scoredAs != u"none")
            QVERIFY(expected != WordScores::numberScore() && expected != WordScores::notAPiece);
    }

    // One run of digits beats the same digits in pieces, and a number sits below the common words, so that
    // "1800 flowers" and "4 sale" come first and a word is not broken up around a digit.
    void numbersRankBelowCommonWords()
    {
        const WordDictionary dictionary =
            dictionaryOf(fillerWords(5000) + QStringList{"flowers", "sale"}, Origin::ShippedList);
        const WordScores scores(dictionary);
        const auto sum = [&](const QStringList& pieces) {
            qint32 total = 0;
            for (const QString& piece : pieces)
                total += scores.pieceScore(piece);
            return total;
        };
        QVERIFY(sum({"1800", "flowers"}) > sum({"1", "800", "flowers"}));
        QVERIFY(sum({"1800", "flowers"}) > sum({"18", "00", "flowers"}));
        QVERIFY(WordScores::numberScore() < 0);
        QVERIFY(WordScores::numberScore() < scores.pieceScore(u"qxj"));     // the most common word
        QVERIFY(WordScores::numberScore() > scores.pieceScore(u"flowers")); // a word beyond the first few
    }

    // A changed dictionary is reflected after refresh(); a copy made before keeps its own scores until it
    // refreshes too.
    void aChangedDictionaryIsReflected()
    {
        WordDictionary dictionary = dictionaryOf({"cat", "dog"}, Origin::ShippedList);
        WordScores scores(dictionary);
        const qint32 cat = scores.pieceScore(u"cat");
        QVERIFY(scores.pieceScore(u"dog") < cat);

        dictionary.clear();
        dictionary.add(QStringLiteral("dog"));
        dictionary.add(QStringLiteral("cat"));
        dictionary.add(QStringLiteral("emu"));
        WordScores copy = scores;
        scores.refresh();
        QCOMPARE(scores.pieceScore(u"emu"), WordScores::units(zipfNats(2, 3)));
        QVERIFY(scores.pieceScore(u"dog") > scores.pieceScore(u"cat"));
        QCOMPARE(copy.pieceScore(u"cat"), cat);
        QCOMPARE(copy.pieceScore(u"emu"), WordScores::notAPiece);
        copy.refresh();
        QCOMPARE(copy.pieceScore(u"emu"), scores.pieceScore(u"emu"));

        const qint32 before = scores.pieceScore(u"dog");
        dictionary.setOrigin(Origin::UserList); // the same words, ranked without the adjustments
        dictionary.clear();
        dictionary.add(QStringLiteral("a"));
        scores.refresh();
        QCOMPARE(scores.pieceScore(u"a"), WordScores::units(zipfNats(0, 1)));
        QCOMPARE(scores.pieceScore(u"dog"), WordScores::notAPiece);
        QVERIFY(before != WordScores::notAPiece);
    }

    // Copies for several threads score the same pieces alike while they run side by side.
    void copiesScoreAlikeOnSeveralThreads()
    {
        const QStringList words = fillerWords(20000);
        const WordDictionary dictionary = dictionaryOf(words, Origin::ShippedList);
        const WordScores scores(dictionary);
        std::vector<qint32> expected;
        for (const QString& word : words)
            expected.push_back(scores.pieceScore(word));
        std::vector<int> mismatches(4, 0);
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < mismatches.size(); ++t) {
            threads.emplace_back([&, t] {
                const WordScores mine = scores;
                for (int round = 0; round < 5; ++round) {
                    for (qsizetype k = 0; k < words.size(); ++k)
                        mismatches[t] += mine.pieceScore(words[k]) != expected[std::size_t(k)];
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (int count : mismatches)
            QCOMPARE(count, 0);
    }
};

QTEST_GUILESS_MAIN(TestWordScores)
#include "test_wordscores.moc"
