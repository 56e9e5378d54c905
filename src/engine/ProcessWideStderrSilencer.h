#pragma once

namespace quorvane {

// Silences the whole process's standard error while it lives (for libmdb).
class ProcessWideStderrSilencer final
{
public:
    ProcessWideStderrSilencer();
    ~ProcessWideStderrSilencer();
    ProcessWideStderrSilencer(const ProcessWideStderrSilencer&) = delete;
    ProcessWideStderrSilencer& operator=(const ProcessWideStderrSilencer&) = delete;
};

} // namespace quorvane
