#include "server_workers.h"

#include "browser/web_browser.h"
#include "crawl/addresses.h"
#include "cli/batch_output.h"
#include "cli/batch_run.h"
#include "cli/cli_view.h"
#include "cli/queue_worker.h"
#include "crawl/form1_logic.h"
#include "crawl/metered_browser.h"
#include "store/history_store.h"
#include "store/work_queue.h"

#include <chrono>
#include <csignal>

namespace korvane {

struct ServerWorkers::Worker
{
    HistoryStore store;
    std::unique_ptr<WorkQueue> queue;
    std::unique_ptr<QueueWorker> worker;
    CliView view;
    WebBrowser webBrowser;
    std::unique_ptr<MeteredBrowser> browser;
    std::unique_ptr<Form1Logic> logic;
    std::unique_ptr<BatchOutput> out;
    BatchRun *run = nullptr;
    QTimer restart;
};

ServerWorkers::ServerWorkers(int count, Settings settings, QObject *parent)
    : QObject(parent), m_count(count), m_settings(std::move(settings))
{
}

ServerWorkers::~ServerWorkers()
{
    stop();
}

bool ServerWorkers::start()
{
    Origins origins = Origins::builtIn();
    origins.engine = m_settings.engine;
    for (int i = 0; i < m_count; ++i) {
        auto w = std::make_unique<Worker>();
        if (!w->store.open(m_settings.storePath, HistoryStore::Access::ReadWrite)) {
            m_error = w->store.errorString();
            return false;
        }
        w->queue = std::make_unique<WorkQueue>(w->store);
        w->worker = std::make_unique<QueueWorker>(*w->queue, m_settings.leaseSeconds, true, m_settings.pollSeconds);
        w->webBrowser.setProxyRules(m_settings.proxies);
        w->browser = std::make_unique<MeteredBrowser>(w->webBrowser);
        w->browser->setDelay(std::chrono::milliseconds(m_settings.delayMs));
        w->logic = std::make_unique<Form1Logic>(w->view, *w->browser, origins);
        w->out = BatchOutput::discarding();
        w->restart.setSingleShot(true);
        Worker *raw = w.get();
        connect(&w->restart, &QTimer::timeout, this, [this, raw] { run(*raw); });
        m_workers.push_back(std::move(w));
    }
    for (auto &w : m_workers)
        run(*w);
    return true;
}

void ServerWorkers::run(Worker &w)
{
    if (m_stopped)
        return;
    BatchSettings settings;
    settings.engine = m_settings.engine;
    settings.format = {ExportFormat::Json, false};
    settings.store = &w.store;
    settings.worker = w.worker.get();
    settings.endsEventLoop = false;
    settings.alerts = m_settings.alerts;
    w.run = new BatchRun(settings, *w.logic, w.view, *w.browser, *w.out, this);
    connect(w.run, &BatchRun::ended, this, [this, &w](int status) {
        w.run->deleteLater();
        w.run = nullptr;
        if (m_stopped)
            return;
        // After a refusal the engine wants a rest; after a store failure, a moment.
        const int pause = status == kExitRefused ? m_settings.refusalPauseMinutes * 60000 : m_settings.pollSeconds * 1000;
        if (status == kExitRefused)
            qWarning("korvane-server: the search engine refused; this worker pauses for %d minutes", m_settings.refusalPauseMinutes);
        w.restart.start(pause);
    });
    w.run->start();
}

void ServerWorkers::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    for (auto &w : m_workers) {
        w->restart.stop();
        if (w->run)
            w->run->interrupt(SIGTERM); // puts a domain it holds back in the queue
        else
            w->worker->release();
    }
}

} // namespace korvane
