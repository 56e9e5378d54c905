#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvane {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the user-interface thread (through a
// self-pipe), so that the window can close normally and store what it must keep. One instance per process.
class ShutdownSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShutdownSignals)

public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;

    bool isActive() const { return m_notifier != nullptr; }

signals:
    void shutdownRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorvane
