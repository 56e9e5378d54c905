#include "ProcessWideStderrSilencer.h"

#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace quorvane {

namespace {

std::mutex silencing;
int silencers = 0;    // alive now
int savedStderr = -1; // the stream as the first silencer found it

} // namespace

ProcessWideStderrSilencer::ProcessWideStderrSilencer()
{
    const std::lock_guard<std::mutex> lock(silencing);
    if (silencers++ > 0)
        return;
    std::fflush(stderr);
    savedStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (savedStderr >= 0 && null >= 0)
        ::dup2(null, STDERR_FILENO);
    if (null >= 0)
        ::close(null);
}

ProcessWideStderrSilencer::~ProcessWideStderrSilencer()
{
    const std::lock_guard<std::mutex> lock(silencing);
    if (--silencers > 0)
        return;
    std::fflush(stderr);
    if (savedStderr >= 0) {
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
    }
    savedStderr = -1;
}

} // namespace quorvane
