#pragma once

#include <QObject>

class QSocketNotifier;

namespace korvane {

// Turns SIGINT, SIGTERM and SIGHUP into a signal on the event loop, so that an interrupted
// run can keep the domains it finished and say so. One object per process.
class Interruption : public QObject
{
    Q_OBJECT
public:
    explicit Interruption(QObject *parent = nullptr);
    ~Interruption() override;

signals:
    void interrupted(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace korvane
