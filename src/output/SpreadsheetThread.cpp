#include "SpreadsheetThread.h"

#include "core/EventPump.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>

namespace quorvane {

namespace {

// A write to a connection whose other end has gone (the office ended or was killed) raises SIGPIPE in the
// writing thread, and that signal ends the process. Blocked in this thread, such a write fails with EPIPE
// instead, and the export reports it. Threads started from here (the office library's connection threads)
// inherit the mask. Only this thread's mask changes: the process keeps its own signal handling.
void blockBrokenPipeSignalInThisThread()
{
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
}

// The export threads that have not ended yet.
struct LiveThreads
{
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

LiveThreads& liveThreads()
{
    static LiveThreads* const threads = new LiveThreads; // never destroyed: threads may outlive main()
    return *threads;
}

} // namespace

struct SpreadsheetThread::State
{
    std::mutex mutex;
    std::condition_variable taskGiven;
    std::condition_variable taskDone;
    std::function<void(std::unique_ptr<Spreadsheet>&)> task;
    bool busy = false;
    std::exception_ptr failure;
    bool ending = false;
    std::unique_ptr<Spreadsheet> sheet;

    void serve()
    {
        blockBrokenPipeSignalInThisThread();
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            taskGiven.wait(lock, [&] { return task || ending; });
            if (!task)
                break;
            auto call = std::exchange(task, {});
            lock.unlock();
            std::exception_ptr failed;
            try {
                call(sheet);
            } catch (...) {
                failed = std::current_exception();
            }
            lock.lock();
            failure = failed;
            busy = false;
            taskDone.notify_all();
        }
        // A document still held here was neither handed over nor let go of: the export was abandoned.
        std::unique_ptr<Spreadsheet> left = std::move(sheet);
        lock.unlock();
        try {
            if (left)
                left->abandon();
        } catch (...) {
            // The application no longer answers: nothing is left to tidy up there.
        }
        left.reset();
        LiveThreads& live = liveThreads();
        const std::lock_guard<std::mutex> liveLock(live.mutex);
        --live.count;
        live.ended.notify_all();
    }
};

SpreadsheetThread::SpreadsheetThread(EventPump& pump) : m_pump(pump), m_state(std::make_shared<State>())
{
    {
        LiveThreads& live = liveThreads();
        const std::lock_guard<std::mutex> lock(live.mutex);
        ++live.count;
    }
    // The thread holds the state, so that a call abandoned by the export can still finish.
    std::thread([state = m_state] { state->serve(); }).detach();
}

SpreadsheetThread::~SpreadsheetThread()
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->ending = true;
    m_state->taskGiven.notify_all();
}

bool SpreadsheetThread::waitForAbandonedExports(int milliseconds)
{
    LiveThreads& live = liveThreads();
    std::unique_lock<std::mutex> lock(live.mutex);
    return live.ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return live.count == 0; });
}

void SpreadsheetThread::endAbandonedExports(SpreadsheetApplication& application)
{
    if (!waitForAbandonedExports(closingGraceMilliseconds))
        application.endAbandoned();
}

void SpreadsheetThread::run(std::function<void(std::unique_ptr<Spreadsheet>& sheet)> call)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->task = std::move(call);
    m_state->busy = true;
    m_state->failure = nullptr;
    m_state->taskGiven.notify_all();
    // A pump serves the window at most every few milliseconds anyway: waiting 5 ms between yields keeps its
    // answers prompt and costs the waiting thread nothing.
    while (!m_state->taskDone.wait_for(lock, std::chrono::milliseconds(5), [&] { return !m_state->busy; })) {
        lock.unlock();
        m_pump.yield(); // what it throws leaves the call to the thread
        lock.lock();
    }
    if (m_state->failure)
        std::rethrow_exception(std::exchange(m_state->failure, nullptr));
}

} // namespace quorvane
