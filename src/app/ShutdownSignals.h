#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvane {

// SIGTERM, SIGINT and SIGHUP as a Qt signal on the user-interface thread.
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
