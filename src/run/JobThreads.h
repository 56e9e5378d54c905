#pragma once

#include <functional>
#include <thread>

namespace quorvane {

// Starts a thread running `body`; throws std::system_error when the system gives no more threads.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

// Runs `jobs` jobs at once: the calling thread's and jobs - 1 started threads. `makeJob(k)` makes job k on the
// calling thread, before its thread starts (job 0 last of all, runs on the calling thread). When the system
// gives fewer threads than asked for, the jobs started do the work. Returns once every job has ended, with the
// number of jobs that ran.
int runJobs(
    int jobs, const std::function<std::function<void()>(int job)>& makeJob,
    const ThreadStarter& start = [](std::function<void()> body) { return std::thread(std::move(body)); });

// Makes the calling thread give way to the process's other threads: for jobs that must never keep a window's
// thread from the processor.
void lowerThisThreadsPriority();

} // namespace quorvane
