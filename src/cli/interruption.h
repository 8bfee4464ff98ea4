#pragma once

#include <QObject>

class QSocketNotifier;

namespace korvane {

// Turns SIGINT and SIGTERM into a signal on the event loop, so that an interrupted run can
// discard its unfinished output file and say so. One object per process.
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
