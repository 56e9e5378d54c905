#include "engine/KeyRadixSort.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <vector>

using namespace quorvane;

// The radix sort against std::stable_sort by the same high bits, at each number of passes it may take.
class TestKeyRadixSort : public QObject
{
    Q_OBJECT

private slots:
    void sortsLikeAStableSortByHighBits_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("lowest");
        QTest::addColumn<qint64>("spread"); // high bits drawn from lowest to lowest + spread
        QTest::addColumn<int>("orderBits");
        QTest::newRow("empty") << 0 << qint64(0) << qint64(0) << 16;
        QTest::newRow("one key") << 1 << qint64(-5) << qint64(0) << 16;
        QTest::newRow("all equal") << 300 << qint64(-900) << qint64(0) << 16;
        QTest::newRow("one pass, full") << 300 << qint64(-900) << qint64(255) << 16;
        QTest::newRow("two passes, just") << 300 << qint64(-900) << qint64(256) << 16;
        QTest::newRow("two passes, full") << 2000 << qint64(-40000) << qint64(65535) << 16;
        QTest::newRow("three passes") << 2000 << qint64(-40000) << qint64(65536) << 16;
        QTest::newRow("around zero") << 500 << qint64(-100) << qint64(200) << 16;
        QTest::newRow("wide") << 500 << qint64(-(qint64(1) << 45)) << (qint64(1) << 46) << 16;
        QTest::newRow("no order bits") << 500 << qint64(-1000) << qint64(5000) << 0;
    }
    void sortsLikeAStableSortByHighBits()
    {
        QFETCH(int, count);
        QFETCH(qint64, lowest);
        QFETCH(qint64, spread);
        QFETCH(int, orderBits);
        QRandomGenerator random(20261208);
        const qint64 orderLimit = qint64(1) << orderBits;
        for (const bool ascendingOrder : {true, false}) {
            std::vector<qint64> keys;
            for (int k = 0; k < count; ++k) {
                // The ends of the range and random values between them.
                const qint64 high = k == 0   ? lowest
                                    : k == 1 ? lowest + spread
                                             : lowest + static_cast<qint64>(random.bounded(quint64(spread) + 1));
                const qint64 low = ascendingOrder ? k % orderLimit : static_cast<qint64>(random.bounded(orderLimit));
                keys.push_back(high * orderLimit + low);
            }
            std::vector<qint64> expected = keys;
            std::stable_sort(expected.begin(), expected.end(),
                             [&](qint64 a, qint64 b) { return (a >> orderBits) < (b >> orderBits); });
            std::vector<qint64> spare(keys.size() + 3, -1); // room past the keys, never to be written
            const std::span<qint64> sorted = radixSortKeys(keys, spare, orderBits);
            QCOMPARE(std::vector<qint64>(sorted.begin(), sorted.end()), expected);
            QVERIFY(std::all_of(spare.begin() + count, spare.end(), [](qint64 key) { return key == -1; }));
            keys.assign(sorted.begin(), sorted.end());
            if (ascendingOrder && count <= orderLimit)
                QVERIFY(std::is_sorted(keys.begin(), keys.end()));
        }
    }
};

QTEST_APPLESS_MAIN(TestKeyRadixSort)
#include "test_keyradixsort.moc"
