#include "CollectedRows.h"
#include "TestFiles.h"
#include "TestWords.h"
#include "engine/EntryProcessor.h"
#include "engine/PieceLattice.h"
#include "engine/RankedSearch.h"
#include "engine/Segmenter.h"
#include "engine/WordDictionary.h"
#include "engine/WordScores.h"
#include "run/RowFormat.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <vector>

using namespace quorvane;

namespace {

using testwords::dictionaryOf;

struct Split
{
    std::vector<qint32> ends;
    qint64 score = 0;
    bool operator==(const Split&) const = default;
};

// Score of a piece from a table of lower-cased piece texts; pieces not in it score `otherScore`.
struct TableScore
{
    QHash<QString, qint64> table;
    qint64 otherScore = -50;
    qint64 operator()(QStringView piece) const { return table.value(piece.toString().toLower(), otherScore); }
};

// The reference: every split in search order, stably sorted by score, best first.
std::vector<Split> sortedSplits(Segmenter& segmenter, QStringView text, const TableScore& score)
{
    std::vector<Split> splits;
    segmenter.forEachSplit(text, 0, [&](const qint32* ends, qsizetype pieces, qsizetype) {
        Split split;
        split.ends.assign(ends, ends + pieces);
        for (qsizetype k = 0; k < pieces; ++k) {
            const qint32 from = k == 0 ? 0 : ends[k - 1];
            split.score += score(text.mid(from, ends[k] - from));
        }
        splits.push_back(std::move(split));
        return true;
    });
    std::stable_sort(splits.begin(), splits.end(), [](const Split& a, const Split& b) { return a.score > b.score; });
    return splits;
}

// The ranked search's first `wanted` splits (0: all), and whether it says more exist.
std::vector<Split> rankedSplits(Segmenter& segmenter, QStringView text, const TableScore& score, qsizetype wanted,
                                bool* more = nullptr)
{
    PieceLattice lattice;
    segmenter.findPieces(text, lattice);
    RankedSearch search;
    search.start(
        lattice, [&](qsizetype from, qsizetype to) { return score(text.mid(from, to - from)); }, wanted);
    std::vector<Split> splits;
    std::vector<qint32> previous;
    while ((wanted == 0 || qsizetype(splits.size()) < wanted) && search.next()) {
        Split split;
        split.ends.assign(search.ends().begin(), search.ends().end());
        split.score = search.score();
        // The pieces said to be unchanged are those of the split before.
        const auto firstNew = static_cast<std::size_t>(search.firstNew());
        if (firstNew > std::min(previous.size(), split.ends.size()) ||
            !std::equal(split.ends.begin(), split.ends.begin() + static_cast<std::ptrdiff_t>(firstNew),
                        previous.begin()))
            qFatal("firstNew claims pieces that differ from the previous split");
        previous = split.ends;
        splits.push_back(std::move(split));
    }
    if (more)
        *more = search.hasMore();
    return splits;
}

QString describe(QStringView text, const std::vector<Split>& splits)
{
    QStringList rows;
    for (const Split& split : splits) {
        QStringList pieces;
        for (std::size_t k = 0; k < split.ends.size(); ++k) {
            const qint32 from = k == 0 ? 0 : split.ends[k - 1];
            pieces.append(text.mid(from, split.ends[k] - from).toString());
        }
        rows.append(pieces.join(QLatin1Char(' ')) + QStringLiteral(" (%1)").arg(split.score));
    }
    return rows.join(QStringLiteral("; "));
}

QString randomText(QRandomGenerator& random, const QString& letters, int length)
{
    QString text;
    for (int k = 0; k < length; ++k)
        text += letters[random.bounded(letters.size())];
    return text;
}

} // namespace

class TestRankedSearch : public QObject
{
    Q_OBJECT

private slots:
    // Hand-checked orders: the scores are chosen so that each row says which rule puts it where.
    void handCheckedOrders_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("scores"); // piece=score,...
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("the best split first, the search's last")
            << QStringList{"car", "pet", "carpet", "pe", "t"} << "car=-5,pet=-5,carpet=-3,pe=-4,t=-4"
            << "carpet" << QStringList{"carpet", "car pet", "car pe t"};
        QTest::newRow("equal scores keep search order")
            << QStringList{"car", "pet", "carpet", "pe", "t"} << "car=-5,pet=-5,carpet=-10,pe=-3,t=-3"
            << "carpet" << QStringList{"car pet", "carpet", "car pe t"};
        QTest::newRow("a worse first piece can lead to the best split")
            << QStringList{"a", "ab", "bc", "c", "abc"} << "a=-9,ab=-1,bc=-1,c=-10,abc=-20"
            << "abc" << QStringList{"a bc", "ab c", "abc"};
        QTest::newRow("numbers are pieces with their own score")
            << QStringList{"sale", "for", "s", "ale"} << "sale=-4,for=-3,s=-9,ale=-6"
            << "4sale" << QStringList{"4 sale", "4 s ale"};
        QTest::newRow("digits: fewer pieces first, then search order")
            << QStringList() << QString() << "123" << QStringList{"123", "1 23", "12 3", "1 2 3"};
        QTest::newRow("no split: nothing") << QStringList{"car"} << "car=-1"
                                           << "cart" << QStringList();
        QTest::newRow("empty text: the one empty split") << QStringList{"car"} << "car=-1"
                                                         << "" << QStringList{""};
    }
    void handCheckedOrders()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, scores);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TableScore score;
        score.otherScore = -7; // numbers
        for (const QString& pair : scores.split(QLatin1Char(','), Qt::SkipEmptyParts))
            score.table.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1).toLongLong());
        const WordDictionary dictionary = dictionaryOf(words);
        Segmenter segmenter(dictionary);
        QStringList got;
        for (const Split& split : rankedSplits(segmenter, text, score, 0)) {
            QStringList pieces;
            for (std::size_t k = 0; k < split.ends.size(); ++k) {
                const qint32 from = k == 0 ? 0 : split.ends[k - 1];
                pieces.append(text.mid(from, split.ends[k] - from));
            }
            got.append(pieces.join(QLatin1Char(' ')));
        }
        QCOMPARE(got, expected);
    }

    // Against every split sorted by score, on random word lists and texts: scores drawn from a few values so
    // that ties are common, numbers among the pieces, and every bound from 1 to past the end.
    void sameAsSortingEverySplit_data()
    {
        QTest::addColumn<QString>("letters");
        QTest::addColumn<int>("scoreValues");
        QTest::newRow("two letters, many ties") << "ab" << 2;
        QTest::newRow("three letters, some ties") << "abc" << 5;
        QTest::newRow("letters and digits") << "ab12" << 3;
        QTest::newRow("scores all different") << "abc" << 1000000;
    }
    void sameAsSortingEverySplit()
    {
        QFETCH(QString, letters);
        QFETCH(int, scoreValues);
        QRandomGenerator random(0x5eed + scoreValues);
        const QString wordLetters = QString(letters).remove(QRegularExpression(QStringLiteral("[0-9]")));
        for (int round = 0; round < 150; ++round) {
            QStringList words;
            const int count = random.bounded(1, 12);
            for (int w = 0; w < count; ++w) {
                const QString word = randomText(random, wordLetters, random.bounded(1, 4));
                if (!words.contains(word))
                    words.append(word);
            }
            TableScore score;
            score.otherScore = -1 - random.bounded(scoreValues); // numbers
            for (const QString& word : std::as_const(words))
                score.table.insert(word, -1 - random.bounded(scoreValues));
            const WordDictionary dictionary = dictionaryOf(words);
            Segmenter segmenter(dictionary);
            const QString text = randomText(random, letters, random.bounded(0, 14));
            const std::vector<Split> expected = sortedSplits(segmenter, text, score);
            const std::vector<Split> all = rankedSplits(segmenter, text, score, 0);
            if (all != expected)
                QFAIL(qPrintable(
                    QStringLiteral("%1 with %2:\n got      %3\n expected %4")
                        .arg(text, words.join(QLatin1Char(',')), describe(text, all), describe(text, expected))));
            for (qsizetype wanted = 1; wanted <= qsizetype(expected.size()) + 1; ++wanted) {
                bool more = false;
                const std::vector<Split> first = rankedSplits(segmenter, text, score, wanted, &more);
                const auto kept = std::min<std::size_t>(static_cast<std::size_t>(wanted), expected.size());
                QVERIFY2(first ==
                             std::vector<Split>(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(kept)),
                         qPrintable(text));
                QCOMPARE(more, qsizetype(expected.size()) > wanted);
            }
        }
    }

    // Many splits with many ties: all of them come from the queue, in the order of a stable sort.
    void everySplitOfAManySplitText()
    {
        const WordDictionary dictionary = dictionaryOf({"a", "aa", "aaa"});
        Segmenter segmenter(dictionary);
        TableScore score;
        score.table = {{"a", -4}, {"aa", -7}, {"aaa", -11}};
        const QString text(20, QLatin1Char('a')); // 121,415 splits, with many ties
        const std::vector<Split> expected = sortedSplits(segmenter, text, score);
        QCOMPARE(expected.size(), std::size_t(121415));
        QVERIFY(rankedSplits(segmenter, text, score, 0) == expected);
    }

    // Billions of splits: the best few come at once, and in order.
    void bestOfAStringWithBillionsOfSplits()
    {
        const WordDictionary dictionary = dictionaryOf({"a", "aa"});
        Segmenter segmenter(dictionary);
        TableScore score;
        score.table = {{"a", -10}, {"aa", -15}};
        const QString text(60, QLatin1Char('a'));
        bool more = false;
        const std::vector<Split> best = rankedSplits(segmenter, text, score, 3, &more);
        QVERIFY(more);
        QCOMPARE(best.size(), std::size_t(3));
        // All "aa"; then one "aa" made "a a", in search order among equals: first the first pair split, then
        // "a aa a aa ...".
        std::vector<qint32> allPairs;
        for (qint32 end = 2; end <= 60; end += 2)
            allPairs.push_back(end);
        QCOMPARE(best[0].ends, allPairs);
        QCOMPARE(best[0].score, qint64(-450));
        std::vector<qint32> second{1};
        second.insert(second.end(), allPairs.begin(), allPairs.end());
        QCOMPARE(best[1].ends, second);
        QCOMPARE(best[1].score, qint64(-455));
        std::vector<qint32> third{1, 3};
        third.insert(third.end(), allPairs.begin() + 1, allPairs.end());
        QCOMPARE(best[2].ends, third);
        QCOMPARE(best[2].score, qint64(-455));
    }

    // The memory bound holds at every step, the room a growth leaves behind counted: the search fails before it.
    void memoryBoundIsNeverPassed()
    {
        const WordDictionary dictionary = dictionaryOf({"a", "aa"});
        Segmenter segmenter(dictionary);
        PieceLattice lattice;
        const QString text(40, QLatin1Char('a'));
        segmenter.findPieces(text, lattice);
        TableScore score;
        score.table = {{"a", -10}, {"aa", -15}};
        RankedSearch search;
        constexpr qsizetype limit = 1000 * 1000;
        search.setMemoryLimit(limit);
        search.start(
            lattice, [&](qsizetype from, qsizetype to) { return score(text.mid(from, to - from)); }, 0);
        qsizetype given = 0;
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, {
            while (search.next()) {
                ++given;
                QVERIFY2(search.heldBytes() <= limit, qPrintable(QString::number(search.heldBytes())));
            }
        });
        QVERIFY(given > 1000);
    }

    // The processor's two orders: the same rows, the ranked ones best first; a bounded name keeps its best
    // splits and is cut; asking for the best few is no cut.
    void processorOrders()
    {
        QTemporaryDir folder;
        testfiles::writeBytes(folder.filePath(QStringLiteral("suffix.lst")), "com\r\n");
        const WordDictionary dictionary = dictionaryOf({"car", "pet", "carpet", "pe", "t", "a", "aa"});
        EntryProcessor processor(dictionary, folder.path());
        const auto rows = [&](const QString& entry, const SplitOptions& options, bool* cut = nullptr) {
            QStringList got;
            const EntryProcessor::Outcome outcome =
                processor.splitEntry(entry, options, true, [&](QStringView text, std::span<const qint32> ends, qint64) {
                    QStringList pieces;
                    for (std::size_t k = 0; k < ends.size(); ++k) {
                        const qint32 from = k == 0 ? 0 : ends[k - 1];
                        pieces.append(text.mid(from, ends[k] - from).toString());
                    }
                    got.append(pieces.join(QLatin1Char(' ')));
                    return true;
                });
            if (cut)
                *cut = outcome.cut;
            return got;
        };
        SplitOptions search;
        search.maxCandidates = 0;
        SplitOptions ranked = search;
        ranked.order = SplitOrder::Ranked;
        for (const QString& entry :
             {QStringLiteral("carpet.com"), QStringLiteral("aaaaaaa"), QStringLiteral("4carpet")}) {
            const QStringList inSearchOrder = rows(entry, search);
            const QStringList best = rows(entry, ranked);
            QVERIFY(best.size() >= 3);
            QCOMPARE(QStringList(best).size(), inSearchOrder.size());
            QStringList a = inSearchOrder, b = best;
            a.sort();
            b.sort();
            QCOMPARE(b, a);
            // The ranked rows carry non-increasing scores.
            qint64 last = std::numeric_limits<qint64>::max();
            processor.splitEntry(entry, ranked, true, [&](QStringView, std::span<const qint32>, qint64 score) {
                if (score > last)
                    qFatal("ranked scores increase");
                last = score;
                return true;
            });

            // The bound keeps the best ones and says cut; the best few are no cut.
            if (best.size() > 2) {
                bool cut = false;
                SplitOptions bounded = ranked;
                bounded.maxCandidates = 2;
                QCOMPARE(rows(entry, bounded, &cut), best.mid(0, 2));
                QVERIFY(cut);
                SplitOptions fewBest = ranked;
                fewBest.best = 2;
                QCOMPARE(rows(entry, fewBest, &cut), best.mid(0, 2));
                QVERIFY(!cut);
                fewBest.maxCandidates = 1; // the bound below the number asked for still cuts
                QCOMPARE(rows(entry, fewBest, &cut), best.mid(0, 1));
                QVERIFY(cut);
            }

            // The rows every front end takes gives the same rows in the same order.
            CollectedRows output(4096);
            RowFormat{}.write(processor, entry, ranked, output);
            QCOMPARE(QString::fromUtf8(output.bytes()), best.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        }
    }

    // At the longest length both orders give the splits they have, then the same failure; a longer text
    // fails at once.
    void longestTextFailsAlikeInBothOrders()
    {
        QTemporaryDir folder;
        const WordDictionary dictionary = dictionaryOf({"b"});
        EntryProcessor processor(dictionary, folder.path());
        for (const qsizetype length :
             {Segmenter::maxTextLength - 1, Segmenter::maxTextLength, Segmenter::maxTextLength + 1}) {
            const QString entry(length, QLatin1Char('b'));
            const bool fails = length >= Segmenter::maxTextLength;
            // The best splits are refused before any: a failure after them would read as a worse best split.
            for (const auto& [order, best] : {std::pair{SplitOrder::Search, qsizetype(0)},
                                              {SplitOrder::Ranked, qsizetype(0)},
                                              {SplitOrder::Ranked, qsizetype(1)}}) {
                SplitOptions options;
                options.order = order;
                options.best = best;
                CollectedRows output(4096);
                const EntryProcessor::Outcome outcome = RowFormat{}.write(processor, entry, options, output);
                QCOMPARE(outcome.rows, length > Segmenter::maxTextLength || (fails && best > 0) ? 0 : 1);
                QCOMPARE(outcome.failures.size(), fails ? 1 : 0);
                if (fails)
                    QVERIFY2(outcome.failures[0].startsWith(QStringLiteral("Overflow:")),
                             qPrintable(outcome.failures[0]));
            }
        }
    }

    // A text with characters beyond the basic plane goes through the same ranking.
    void surrogatesRankedAlike()
    {
        QTemporaryDir folder;
        const QString smile = QString::fromUcs4(U"\U0001F600");
        const WordDictionary dictionary = dictionaryOf({smile, "a", smile + "a"});
        EntryProcessor processor(dictionary, folder.path());
        SplitOptions ranked;
        ranked.order = SplitOrder::Ranked;
        CollectedRows output(4096);
        RowFormat{}.write(processor, smile + "a", ranked, output);
        QStringList expected;
        processor.splitEntry(smile + "a", ranked, true, [&](QStringView text, std::span<const qint32> ends, qint64) {
            QStringList pieces;
            for (std::size_t k = 0; k < ends.size(); ++k) {
                const qint32 from = k == 0 ? 0 : ends[k - 1];
                pieces.append(text.mid(from, ends[k] - from).toString());
            }
            expected.append(pieces.join(QLatin1Char(' ')));
            return true;
        });
        QCOMPARE(expected.size(), 2);
        QCOMPARE(QString::fromUtf8(output.bytes()), expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    }
};

QTEST_GUILESS_MAIN(TestRankedSearch)
#include "test_rankedsearch.moc"
