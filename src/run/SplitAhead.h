#pragma once

#include "SplittingRun.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvane {

// A SplittingRun on a thread of its own, whose batches (their splits kept as data) wait until they are taken.
class SplitAhead final : private BatchSink
{
public:
    // Splits the names of `source` with a copy of `processor` (sharing its index), keeping at most `maxReady`
    // batches split but not taken (0: no bound).
    SplitAhead(const EntryProcessor& processor, const SplittingRun::Settings& settings,
               std::unique_ptr<NameSource> source, std::size_t maxReady);
    // Stops the run at its next batch and waits for its thread.
    ~SplitAhead() override;
    SplitAhead(const SplitAhead&) = delete;
    SplitAhead& operator=(const SplitAhead&) = delete;

    // The next batch in order, waited for at most `wait`; null when there is none yet, or none will come.
    // What the run threw is thrown here once the batches before it have been taken.
    std::unique_ptr<SplitBatch> next(std::chrono::milliseconds wait);
    // Whether every batch has been split (some may still wait to be taken).
    bool split();
    // Whether every batch has been split and taken.
    bool finished();

private:
    bool take(std::unique_ptr<SplitBatch>& batch) override;
    bool takesResults() const override { return true; }

    EntryProcessor m_processor;
    std::unique_ptr<NameSource> m_source;
    SplittingRun m_run;
    std::size_t m_maxReady;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<SplitBatch>> m_ready;
    std::exception_ptr m_error;
    bool m_stopped = false;
    bool m_split = false;
    std::thread m_thread;
};

} // namespace quorvane
