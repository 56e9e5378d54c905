#pragma once

#include <QElapsedTimer>
#include <QString>

namespace quorvane {

// A progress line on standard error, shown on a terminal after a second.
class TerminalProgress final
{
public:
    TerminalProgress();

    // Called once per name; cheap when nothing is to be drawn.
    void update(qint64 names, qint64 rows);
    // Takes the progress line away, so that a message can be printed on a clean line.
    void clear();

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_sinceStart;
    qint64 m_lastDrawn = 0;
};

} // namespace quorvane
