#include "run/JobThreads.h"
#include "run/OrderedBatches.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

using namespace quorvane;

namespace {

// A batch carries its own number, so that what is handed on can be checked against its place.
struct Batch
{
    qint64 number = -1;
};

// What was handed on, in the order it was.
struct HandedOn
{
    std::mutex lock;
    std::vector<qint64> numbers;

    OrderedBatches<Batch>::HandOn recorder(qint64 failAt = -1)
    {
        return [this, failAt](Batch& batch) {
            const std::lock_guard<std::mutex> guard(lock);
            numbers.push_back(batch.number);
            return batch.number != failAt;
        };
    }
    std::vector<qint64> snapshot()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return numbers;
    }
};

std::vector<qint64> upTo(qint64 count)
{
    std::vector<qint64> numbers(static_cast<std::size_t>(count));
    std::iota(numbers.begin(), numbers.end(), 0);
    return numbers;
}

} // namespace

class TestOrderedBatches : public QObject
{
    Q_OBJECT

private slots:
    // Batches finished in any order are handed on in the order they were taken, each once.
    void everyFinishingOrderKeepsTheTakingOrder()
    {
        std::vector<int> order = {0, 1, 2, 3, 4};
        do {
            HandedOn handed;
            OrderedBatches<Batch> batches(order.size(), handed.recorder());
            for (std::size_t k = 0; k < order.size(); ++k)
                QCOMPARE(batches.take([](qint64) { return true; }), std::optional<qint64>(qint64(k)));
            for (const int number : order)
                batches.finish(number, Batch{number});
            QCOMPARE(handed.snapshot(), upTo(5));
        } while (std::next_permutation(order.begin(), order.end()));
    }

    // Jobs that take and finish at random speeds, one of them writing its batch early now and then.
    void jobsAtRandomSpeedsKeepTheOrder()
    {
        HandedOn handed;
        OrderedBatches<Batch> batches(3, handed.recorder());
        constexpr qint64 total = 400;
        std::atomic<int> early{0};
        runJobs(4, [&](int job) -> std::function<void()> {
            return [&, job] {
                std::minstd_rand random(static_cast<unsigned>(job) + 1);
                for (;;) {
                    const auto number = batches.take([](qint64 n) { return n + 1 < total; });
                    if (!number)
                        return;
                    std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
                    if (random() % 8 == 0) {
                        batches.waitForTurn(*number);
                        // As the writer, everything before this batch has been handed on already.
                        if (handed.snapshot() != upTo(*number))
                            early = -1000000;
                        ++early;
                    }
                    batches.finish(*number, Batch{*number});
                }
            };
        });
        QCOMPARE(handed.snapshot(), upTo(total));
        QVERIFY(early > 0);
        QVERIFY(batches.stopped());
    }

    // A job with a later batch waits while the bound of waiting batches is reached, and goes on once the
    // batch whose turn it is has been handed on.
    void waitingBatchesAreBounded()
    {
        HandedOn handed;
        OrderedBatches<Batch> batches(2, handed.recorder());
        for (int k = 0; k < 4; ++k)
            batches.take([](qint64) { return true; });
        batches.finish(1, Batch{1});
        batches.finish(2, Batch{2});
        std::atomic<bool> thirdFinished{false};
        std::thread late([&] {
            batches.finish(3, Batch{3});
            thirdFinished = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QVERIFY2(!thirdFinished, "a third batch was left waiting beyond the bound of two");
        QVERIFY(handed.snapshot().empty());
        batches.finish(0, Batch{0});
        late.join();
        QCOMPARE(handed.snapshot(), upTo(4));
    }

    // A batch whose hand-on fails stops the taking at once; the batches taken already are still handed on,
    // in order and once each, and no job gets another.
    void failureStopsNewBatches()
    {
        HandedOn handed;
        OrderedBatches<Batch> batches(4, handed.recorder(1));
        for (int k = 0; k < 3; ++k)
            batches.take([](qint64) { return true; });
        batches.finish(0, Batch{0});
        QVERIFY(!batches.stopped());
        batches.finish(1, Batch{1});
        QVERIFY(batches.stopped());
        bool filled = false;
        QCOMPARE(batches.take([&](qint64) { return filled = true; }), std::nullopt);
        QVERIFY(!filled);
        batches.finish(2, Batch{2});
        QCOMPARE(handed.snapshot(), upTo(3));
    }

    // The same with several jobs: every one ends, and each batch taken is handed on once, in order.
    void failureEndsEveryJob()
    {
        HandedOn handed;
        OrderedBatches<Batch> batches(6, handed.recorder(50));
        std::atomic<qint64> taken{0};
        runJobs(3, [&](int) -> std::function<void()> {
            return [&] {
                while (const auto number = batches.take([](qint64) { return true; })) {
                    ++taken;
                    batches.finish(*number, Batch{*number});
                }
            };
        });
        const std::vector<qint64> numbers = handed.snapshot();
        QCOMPARE(numbers, upTo(taken));
        QVERIFY(taken > 50);
        // Only the batches taken before the failure was known follow it: one per job and those left waiting.
        QVERIFY2(taken <= 51 + 3 + 6, qPrintable(QString::number(taken)));
    }

    // When the system gives fewer threads than asked for, the jobs started do all the work.
    void fewerThreadsThanAsked_data()
    {
        QTest::addColumn<int>("threadsGiven");
        QTest::newRow("none but the caller's") << 0;
        QTest::newRow("one more") << 1;
        QTest::newRow("all") << 3;
    }
    void fewerThreadsThanAsked()
    {
        QFETCH(int, threadsGiven);
        HandedOn handed;
        OrderedBatches<Batch> batches(2 * 4, handed.recorder());
        int started = 0;
        const ThreadStarter start = [&](std::function<void()> body) {
            if (started == threadsGiven)
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            ++started;
            return std::thread(std::move(body));
        };
        std::atomic<int> jobsThatRan{0};
        const int ran = runJobs(
            4,
            [&](int) -> std::function<void()> {
                return [&] {
                    ++jobsThatRan;
                    while (const auto number = batches.take([](qint64 n) { return n + 1 < 100; }))
                        batches.finish(*number, Batch{*number});
                };
            },
            start);
        QCOMPARE(ran, threadsGiven + 1);
        QCOMPARE(jobsThatRan.load(), threadsGiven + 1);
        QCOMPARE(handed.snapshot(), upTo(100));
    }
};

QTEST_GUILESS_MAIN(TestOrderedBatches)
#include "test_orderedbatches.moc"
