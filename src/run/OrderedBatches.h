#pragma once

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace quorvane {

// Batches made by several jobs at once and handed on (written) strictly in the order they were taken, one at a
// time. The job that finishes the batch whose turn it is hands it on, then every later batch that others
// finished meanwhile; a job that finishes a later batch leaves it waiting and takes the next, so that no job
// waits for another that the system has not scheduled, unless too many batches wait already.
template <typename Batch> class OrderedBatches final
{
public:
    // Hands one batch on. Called in the batches' order, by one job at a time; false when handing on failed,
    // after which no further batch is taken (those taken already are still handed on, in order).
    using HandOn = std::function<bool(Batch&)>;

    // At most `maxWaiting` finished batches wait for their turn; a job with one more waits until it may hand
    // its batch on or leave it waiting.
    OrderedBatches(std::size_t maxWaiting, HandOn handOn) : m_maxWaiting(maxWaiting), m_handOn(std::move(handOn)) {}
    OrderedBatches(const OrderedBatches&) = delete;
    OrderedBatches& operator=(const OrderedBatches&) = delete;

    // Takes the next batch: `fill(number)` runs under the lock that numbers the batches, so that they are
    // filled in their numbers' order, and returns false when no batch follows this one. Once the batches have
    // stopped, gives no number and does not call `fill`. A batch taken must be finished.
    template <typename Fill> std::optional<qint64> take(Fill&& fill)
    {
        const std::lock_guard<std::mutex> lock(m_taking);
        if (m_stopped.load())
            return std::nullopt;
        const qint64 number = m_nextNumber++;
        if (!fill(number))
            m_stopped = true;
        return number;
    }

    // Waits for the turn of batch `number` and makes the caller the writer until it finishes that batch: for a
    // batch grown too large to keep, whose first part the caller writes itself. Called at most once per batch.
    void waitForTurn(qint64 number)
    {
        std::unique_lock<std::mutex> lock(m_turns);
        m_changed.wait(lock, [&] { return number == m_turn && !m_writing; });
        m_writing = true;
        m_writerBatch = number;
    }

    // Hands batch `number` over finished: the caller hands it on when its turn has come (or comes while too
    // many batches wait), otherwise it is left waiting for the writer.
    void finish(qint64 number, Batch&& batch)
    {
        std::unique_lock<std::mutex> lock(m_turns);
        if (!(m_writing && m_writerBatch == number)) {
            m_changed.wait(lock, [&] { return (number == m_turn && !m_writing) || m_waiting.size() < m_maxWaiting; });
            if (number != m_turn || m_writing) {
                m_waiting.emplace(number, std::move(batch));
                return;
            }
            m_writing = true;
        }
        Batch current = std::move(batch);
        for (;;) {
            lock.unlock();
            if (!m_handOn(current))
                m_stopped = true;
            lock.lock();
            ++m_turn;
            const auto next = m_waiting.find(m_turn);
            if (next == m_waiting.end())
                break;
            current = std::move(next->second);
            m_waiting.erase(next);
        }
        m_writing = false;
        m_writerBatch = -1;
        lock.unlock();
        m_changed.notify_all();
    }

    // No further batch is taken.
    bool stopped() const { return m_stopped.load(); }

private:
    const std::size_t m_maxWaiting;
    HandOn m_handOn;
    std::atomic<bool> m_stopped{false};

    std::mutex m_taking; // the numbers, and whatever `fill` reads from
    qint64 m_nextNumber = 0;

    std::mutex m_turns;
    std::condition_variable m_changed;
    qint64 m_turn = 0;         // the batch handed on next
    bool m_writing = false;    // a job is the writer
    qint64 m_writerBatch = -1; // the batch whose job is the writer
    std::map<qint64, Batch> m_waiting;
};

} // namespace quorvane
