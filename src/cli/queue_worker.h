#pragma once

#include "store/work_queue.h"

#include <QObject>
#include <QTimer>

#include <optional>

namespace korvane {

struct FinishedAnalysis;

// `korvane-cli work`: the batch's source of domains when they come from the store's queue.
// Holds at most one domain at a time, renews its lease while it is analysed, and ends it:
// done with its analysis recorded, or back in the queue when the engine refused.
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

    QString errorString() const { return m_queue.errorString(); }
    QString name() const { return m_name; }

signals:
    void pollDue();

private:
    void renew();

    WorkQueue &m_queue;
    const QString m_name;
    const int m_leaseSeconds;
    const bool m_follow;
    QTimer m_renewal;
    QTimer m_poll;
    std::optional<WorkQueue::Item> m_item;
    bool m_leaseLost = false;
    qint64 m_recordedId = 0;
};

} // namespace korvane
