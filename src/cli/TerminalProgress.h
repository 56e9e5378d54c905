#pragma once

#include <QElapsedTimer>
#include <QString>

namespace quorvane {

// A progress line and a summary line on standard error, shown on a terminal that standard output does not share.
class TerminalProgress final
{
public:
    enum class Mode
    {
        Auto,
        On,
        Off,
    };

    explicit TerminalProgress(Mode mode = Mode::Auto);

    // The size of the input in bytes when it is known (0: unknown): the line then gives the share done and
    // the time left.
    void setInputBytes(qint64 bytes) { m_inputBytes = bytes; }
    // Called once per batch; cheap when nothing is to be drawn.
    void update(qint64 names, qint64 rows, qint64 bytesRead);
    // Takes the progress line away, so that a message can be printed on a clean line.
    void clear();
    // The line that ends a run shown with progress: names, rows, names cut, failures and the time taken.
    void summary(qint64 names, qint64 rows, qint64 cut, qint64 failures);

private:
    bool m_enabled;
    bool m_escapes;
    bool m_shown = false;
    qsizetype m_shownLength = 0;
    qint64 m_inputBytes = 0;
    QElapsedTimer m_sinceStart;
    qint64 m_lastDrawn = 0;
};

} // namespace quorvane
