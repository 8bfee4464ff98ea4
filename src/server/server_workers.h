#pragma once

#include "browser/proxy_rules.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

namespace korvane {

class AlertDelivery;

// The server's own workers: each one is `korvane-cli work --follow` inside the server (the same
// queue worker and batch run), with its own store connection and browser. After a refusal of
// the engine a worker pauses, then goes on.
class ServerWorkers : public QObject
{
    Q_OBJECT
public:
    struct Settings
    {
        QString storePath;
        QString engine;             // the engine's origin
        ProxyRules proxies;
        int delayMs = 2000;
        int refusalPauseMinutes = 30;
        int pollSeconds = 5;        // how often an empty queue is looked at again
        int leaseSeconds = 600;
        // The server's alerts: each analysis recorded is handed to it, as korvane-cli work
        // hands its own (none: no alerts).
        AlertDelivery *alerts = nullptr;
    };
    ServerWorkers(int count, Settings settings, QObject *parent = nullptr);
    ~ServerWorkers() override;

    // Opens each worker's store and starts it; false (with errorString()) when a store cannot be opened.
    bool start();
    // Stops every worker; a domain one holds goes back to the queue.
    void stop();
    QString errorString() const { return m_error; }

private:
    struct Worker;
    void run(Worker &worker);

    int m_count;
    Settings m_settings;
    std::vector<std::unique_ptr<Worker>> m_workers;
    QString m_error;
    bool m_stopped = false;
};

} // namespace korvane
