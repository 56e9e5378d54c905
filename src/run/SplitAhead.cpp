#include "SplitAhead.h"

namespace quorvane {

SplitAhead::SplitAhead(const EntryProcessor& processor, const SplittingRun::Settings& settings,
                       std::unique_ptr<NameSource> source, std::size_t maxReady)
    : m_processor(processor), m_source(std::move(source)), m_run(m_processor, settings), m_maxReady(maxReady)
{
    m_thread = std::thread([this] {
        std::exception_ptr error;
        try {
            m_run.run(*m_source, *this);
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(m_lock);
        m_error = error;
        m_split = true;
        m_changed.notify_all();
    });
}

SplitAhead::~SplitAhead()
{
    m_run.stop();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_stopped = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool SplitAhead::take(std::unique_ptr<SplitBatch>& batch)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [&] { return m_maxReady == 0 || m_ready.size() < m_maxReady || m_stopped; });
    if (m_stopped)
        return false;
    m_ready.push_back(std::move(batch));
    m_changed.notify_all();
    return true;
}

std::unique_ptr<SplitBatch> SplitAhead::next(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, wait, [&] { return !m_ready.empty() || m_split; });
    if (m_ready.empty()) {
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
        return nullptr;
    }
    std::unique_ptr<SplitBatch> batch = std::move(m_ready.front());
    m_ready.pop_front();
    m_changed.notify_all();
    return batch;
}

bool SplitAhead::split()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_split;
}

bool SplitAhead::finished()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_split && m_ready.empty() && !m_error;
}

} // namespace quorvane
