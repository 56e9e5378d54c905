#include "TerminalProgress.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {
constexpr qint64 quietMilliseconds = 1000;
constexpr qint64 redrawMilliseconds = 200;

// Whether standard output and standard error are the same terminal.
bool outputSharesTheTerminal()
{
    struct stat output = {};
    struct stat error = {};
    return ::fstat(STDOUT_FILENO, &output) == 0 && ::fstat(STDERR_FILENO, &error) == 0 && S_ISCHR(output.st_mode) &&
           output.st_rdev == error.st_rdev;
}

bool terminalTakesEscapes()
{
    const char* term = std::getenv("TERM");
    return term && *term && std::strcmp(term, "dumb") != 0;
}
} // namespace

TerminalProgress::TerminalProgress(Mode mode)
    : m_enabled(mode == Mode::On || (mode == Mode::Auto && ::isatty(STDERR_FILENO) == 1 && !outputSharesTheTerminal())),
      m_escapes(terminalTakesEscapes())
{
    m_sinceStart.start();
}

void TerminalProgress::update(qint64 names, qint64 rows, qint64 bytesRead)
{
    if (!m_enabled)
        return;
    const qint64 elapsed = m_sinceStart.elapsed();
    if (elapsed < quietMilliseconds || elapsed - m_lastDrawn < redrawMilliseconds)
        return;
    m_lastDrawn = elapsed;
    QString line = QStringLiteral("quorvane-split: %1 names, %2 rows").arg(names).arg(rows);
    if (m_inputBytes > 0 && bytesRead > 0) {
        const double done = std::min(1.0, double(bytesRead) / double(m_inputBytes));
        line += QStringLiteral(", %1% done, %2 s left")
                    .arg(done * 100.0, 0, 'f', 0)
                    .arg(double(elapsed) / 1000.0 * (1.0 - done) / done, 0, 'f', 0);
    } else {
        line += QStringLiteral(", %1 names/s").arg(double(names) * 1000.0 / double(elapsed), 0, 'f', 0);
    }
    clear();
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    m_shown = true;
    m_shownLength = line.size();
}

void TerminalProgress::clear()
{
    if (!m_shown)
        return;
    if (m_escapes)
        std::fputs("\r\033[K", stderr);
    else
        std::fprintf(stderr, "\r%*s\r", int(m_shownLength), "");
    std::fflush(stderr);
    m_shown = false;
}

void TerminalProgress::summary(qint64 names, qint64 rows, qint64 cut, qint64 failures)
{
    if (!m_enabled)
        return;
    clear();
    std::fprintf(stderr, "quorvane-split: %lld names, %lld rows, %lld cut, %lld failed, in %.1f s\n",
                 static_cast<long long>(names), static_cast<long long>(rows), static_cast<long long>(cut),
                 static_cast<long long>(failures), double(m_sinceStart.elapsed()) / 1000.0);
}

} // namespace quorvane
