#pragma once

#include "store/history_store.h"
#include "store/work_queue.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <optional>

namespace korvane {

struct FinishedAnalysis;

// `korvane-cli work`: the batch's source of domains when they come from the store's queue.
// Holds at most one domain at a time, renews its lease while it is analysed, and ends it:
// done with its analysis recorded, or back in the queue when the engine refused.
//
// A store whose connection is lost (a PostgreSQL restart) is reconnected with backoff
// (HistoryStore::reconnect) before take() or finish() gives up. The domain in hand is then
// recorded if it is still this worker's (its lease ran on, or ran out with no one else taking
// it); if another worker took it meanwhile, that worker records it and this one records
// nothing. Only when the store stays away past HistoryStore::reconnectLimit() do take() and
// finish() fail; the domain in hand is then left to its lease (the store cannot be told).
//
// With `follow`, the done entries older than 90 days are pruned at the first take() and then
// once a day.
class QueueWorker : public QObject
{
    Q_OBJECT
public:
    // `follow`: when the queue is empty, look again every `pollSeconds` instead of ending.
    QueueWorker(WorkQueue &queue, int leaseSeconds, bool follow, int pollSeconds, QObject *parent = nullptr);

    enum class Next { Taken, Empty, Later, Failed };
    // Takes the next domain (domain() then names it). Later: the queue is empty and the worker
    // follows it; pollDue() is emitted when it is time to try again.
    Next take();
    QString domain() const { return m_item ? m_item->domain : QString(); }

    // Ends the domain taken with its analysis: done and recorded, or (the engine refused) put
    // back as waiting with the refusal recorded. False when the store failed (errorString()).
    // A lease lost meanwhile is not a failure: nothing is recorded, leaseLost() says so.
    bool finish(const FinishedAnalysis &analysis);
    bool leaseLost() const { return m_leaseLost; }
    // The id of the analysis finish() recorded last; 0 when it recorded none.
    qint64 recordedId() const { return m_recordedId; }
    // Puts the domain taken, if any, back as waiting: the run ends without analysing it.
    void release();

    QString errorString() const { return m_error.isEmpty() ? m_queue.errorString() : m_error; }
    QString name() const { return m_name; }

signals:
    void pollDue();

private:
    void renew();
    void pruneWhenDue();

    WorkQueue &m_queue;
    const QString m_name;
    const int m_leaseSeconds;
    const bool m_follow;
    QTimer m_renewal;
    QTimer m_poll;
    std::optional<WorkQueue::Item> m_item;
    bool m_leaseLost = false;
    qint64 m_recordedId = 0;
    QString m_error;    // a store that could not be reconnected
    QDateTime m_pruned; // when the done entries were pruned last
public:
    // Days after which `follow` prunes done entries.
    static constexpr int kPruneDays = 90;
};

// After a statement on `store` failed with `why`: when the connection was lost, says so on
// standard error, reconnects (HistoryStore::reconnect) and says when it is back. True when the
// statement may be run again; false when the failure was not a lost connection, or the store
// stayed away (errorString() of the store says why).
bool reconnectStore(HistoryStore &store, const QString &why);

} // namespace korvane
