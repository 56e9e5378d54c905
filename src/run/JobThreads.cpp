#include "JobThreads.h"

#include <system_error>
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

} // namespace quorvane
