#include "TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

namespace quorvane {

namespace {
constexpr qint64 quietMilliseconds = 1000;
constexpr qint64 redrawMilliseconds = 200;
} // namespace

TerminalProgress::TerminalProgress() : m_enabled(::isatty(STDERR_FILENO) == 1)
{
    m_sinceStart.start();
}

void TerminalProgress::update(qint64 names, qint64 rows)
{
    // Looking at the clock costs more than the rest of this; every 16th name is often enough.
    if (!m_enabled || (names & 15) != 0)
        return;
    const qint64 elapsed = m_sinceStart.elapsed();
    if (elapsed < quietMilliseconds || elapsed - m_lastDrawn < redrawMilliseconds)
        return;
    m_lastDrawn = elapsed;
    std::fprintf(stderr, "\rquorvane-split: %lld names, %lld rows, %.0f names/s\033[K", static_cast<long long>(names),
                 static_cast<long long>(rows), static_cast<double>(names) * 1000.0 / static_cast<double>(elapsed));
    std::fflush(stderr);
    m_shown = true;
}

void TerminalProgress::clear()
{
    if (!m_shown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_shown = false;
}

} // namespace quorvane
