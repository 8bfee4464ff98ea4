#include "queue_worker.h"

#include "command_output.h"
#include "export/exporter.h"

#include <algorithm>

namespace korvane {

QueueWorker::QueueWorker(WorkQueue &queue, int leaseSeconds, bool follow, int pollSeconds, QObject *parent)
    : QObject(parent)
    , m_queue(queue)
    , m_name(newWorkerName())
    , m_leaseSeconds(leaseSeconds)
    , m_follow(follow)
{
    // Three renewals a lease: one that fails or comes late still leaves the lease standing.
    m_renewal.setInterval(std::max(1, leaseSeconds * 1000 / 3));
    connect(&m_renewal, &QTimer::timeout, this, &QueueWorker::renew);
    m_poll.setSingleShot(true);
    m_poll.setInterval(std::max(1, pollSeconds) * 1000);
    connect(&m_poll, &QTimer::timeout, this, &QueueWorker::pollDue);
}

bool reconnectStore(HistoryStore &store, const QString &why)
{
    if (!store.connectionLost())
        return false;
    printErr(QStringLiteral("warning: %1; reconnecting for up to %2 s").arg(why).arg(HistoryStore::reconnectLimit().count()));
    if (!store.reconnect())
        return false;
    printErr(QStringLiteral("reconnected to %1").arg(store.path()));
    return true;
}

void QueueWorker::pruneWhenDue()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!m_follow || (m_pruned.isValid() && m_pruned.secsTo(now) < 24 * 3600))
        return;
    m_pruned = now;
    const auto removed = m_queue.prune(now.addDays(-kPruneDays));
    if (!removed)
        printErr(QStringLiteral("warning: %1").arg(m_queue.errorString()));
    else if (*removed > 0)
        printErr(QStringLiteral("%1 done %2 older than %3 days removed from the queue")
                     .arg(*removed)
                     .arg(*removed == 1 ? QStringLiteral("entry") : QStringLiteral("entries"))
                     .arg(kPruneDays));
}

QueueWorker::Next QueueWorker::take()
{
    m_item.reset();
    m_leaseLost = false;
    m_error.clear();
    auto taken = m_queue.take(m_name, m_leaseSeconds);
    while (!taken && reconnectStore(m_queue.store(), m_queue.errorString()))
        taken = m_queue.take(m_name, m_leaseSeconds);
    if (!taken) {
        if (m_queue.store().connectionLost())
            m_error = m_queue.store().errorString();
        return Next::Failed;
    }
    pruneWhenDue();
    if (!*taken) {
        if (!m_follow)
            return Next::Empty;
        m_poll.start();
        return Next::Later;
    }
    m_item = **taken;
    m_renewal.start();
    return Next::Taken;
}

void QueueWorker::renew()
{
    if (!m_item || m_leaseLost)
        return;
    switch (m_queue.renew(*m_item, m_name, m_leaseSeconds)) {
    case WorkQueue::Kept::Yes: break;
    case WorkQueue::Kept::LeaseLost:
        m_leaseLost = true;
        m_renewal.stop();
        printErr(QStringLiteral("%1: the lease ran out and another worker took it; this analysis will not be recorded")
                     .arg(m_item->domain));
        break;
    case WorkQueue::Kept::Failed:
        // Tried again at the next renewal; the lease still runs meanwhile. A lost connection is
        // tried once again at once; the analysis's end waits for it if it stays away.
        printErr(QStringLiteral("warning: %1").arg(m_queue.errorString()));
        if (m_queue.store().connectionLost() && m_queue.store().reopen())
            printErr(QStringLiteral("reconnected to %1").arg(m_queue.store().path()));
        break;
    }
}

bool QueueWorker::finish(const FinishedAnalysis &analysis)
{
    m_renewal.stop();
    m_recordedId = 0;
    if (!m_item)
        return true;
    const WorkQueue::Item item = *m_item;
    const bool refused = analysis.outcome() == AnalysisOutcome::Refused;
    const auto end = [&] {
        return refused ? m_queue.putBack(item, m_name, &analysis, &m_recordedId) : m_queue.finish(item, m_name, analysis, &m_recordedId);
    };
    // Each is one transaction: one that failed with the connection left nothing behind, and
    // the domain is recorded (or put back) once the store is back, if it is still this worker's.
    WorkQueue::Kept kept = end();
    m_error.clear();
    while (kept == WorkQueue::Kept::Failed && reconnectStore(m_queue.store(), m_queue.errorString()))
        kept = end();
    if (kept == WorkQueue::Kept::Failed) {
        if (m_queue.store().connectionLost())
            m_error = m_queue.store().errorString();
        return false; // still held: the run's end tries to put it back
    }
    m_item.reset();
    if (kept == WorkQueue::Kept::LeaseLost) {
        m_leaseLost = true;
        printErr(QStringLiteral("%1: another worker took it after this one's lease ran out; this analysis was not "
                                "recorded")
                     .arg(item.domain));
    } else if (refused) {
        printErr(QStringLiteral("%1: back in the queue for another worker; this one takes no more work")
                     .arg(item.domain));
    }
    return true;
}

void QueueWorker::release()
{
    m_renewal.stop();
    m_poll.stop();
    if (!m_item)
        return;
    const WorkQueue::Item item = *m_item;
    m_item.reset();
    if (m_queue.putBack(item, m_name, nullptr) == WorkQueue::Kept::Failed)
        printErr(QStringLiteral("%1 (another worker takes it once the lease has run out)").arg(m_queue.errorString()));
    else
        printErr(QStringLiteral("%1: back in the queue").arg(item.domain));
}

} // namespace korvane
