#include "JobThreads.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace quorvane {

int runJobs(int jobs, const std::function<std::function<void()>(int job)>& makeJob, const ThreadStarter& start)
{
    std::vector<std::thread> threads;
    for (int k = 1; k < jobs; ++k) {
        try {
            threads.push_back(start(makeJob(k)));
        } catch (const std::system_error&) {
            break; // the system gives no more threads: the jobs started so far do the work
        }
    }
    makeJob(0)();
    for (std::thread& thread : threads)
        thread.join();
    return static_cast<int>(threads.size()) + 1;
}

void lowerThisThreadsPriority()
{
    // On Linux a thread's nice value is its own: the other threads of the process keep theirs. A refusal
    // leaves the thread as it was, which costs only the window's answers while the jobs run.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        setpriority(PRIO_PROCESS, thread, std::min(now + 10, 19));
}

} // namespace quorvane
