#pragma once

namespace quorvane {

// Sends the standard error stream (descriptor 2) of the whole process to /dev/null while it lives, and puts
// it back afterwards: for a library that writes diagnostics there which mean nothing to the user (libmdb),
// whose failures reach the user another way. PROCESS-WIDE: whatever any thread writes to standard error
// meanwhile is lost too, so keep the silence short. Silencers that overlap (on one thread or several) keep
// the stream silent until the last of them ends, which restores the stream as the first found it.
class ProcessWideStderrSilencer final
{
public:
    ProcessWideStderrSilencer();
    ~ProcessWideStderrSilencer();
    ProcessWideStderrSilencer(const ProcessWideStderrSilencer&) = delete;
    ProcessWideStderrSilencer& operator=(const ProcessWideStderrSilencer&) = delete;
};

} // namespace quorvane
