#pragma once

#include "history.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

class HistoryStore;
struct FinishedAnalysis;

// The work queue in a history store: domains wait, workers (on any number of machines) take
// them one at a time under a lease, and each ends done with its analysis recorded. The
// database does the coordination: taking is one statement that locks the row it takes
// (skipping rows other workers hold, on PostgreSQL; under the write lock, on SQLite), and
// recording an analysis and marking its domain done are one transaction.
//
// A worker that dies leaves its domain "working" until its lease runs out; then the next
// worker to take work takes it. A worker whose lease ran out and whose domain was taken by
// another cannot mark it done: its analysis is not recorded, so each entry is done once.
//
// Times are compared as the workers' clocks give them: the machines' clocks should agree to
// well within a lease.
class WorkQueue
{
public:
    // Uses the open store `store` (opened for writing, except for counts()).
    explicit WorkQueue(HistoryStore &store);

    struct Added
    {
        QStringList added;
        QStringList alreadyWaiting;
    };
    // Adds each domain as waiting, unless it is waiting already; in one transaction.
    std::optional<Added> add(const QStringList &domains);

    struct Counts
    {
        qint64 waiting = 0;
        qint64 working = 0;  // of which `expired` have a lease that has run out
        qint64 expired = 0;
        qint64 done = 0;
        qint64 refused = 0;  // refusals met by workers (each domain went back to waiting)
    };
    std::optional<Counts> counts(const QDateTime &now = QDateTime::currentDateTimeUtc());

    struct Item
    {
        qint64 id = 0;
        QString domain;
    };
    // Takes the oldest domain that waits or whose lease has run out, and leases it to `worker`
    // until now + leaseSeconds. nullopt on failure; an empty item inside when there is none.
    std::optional<std::optional<Item>> take(const QString &worker, int leaseSeconds,
                                            const QDateTime &now = QDateTime::currentDateTimeUtc());

    enum class Kept { Yes, LeaseLost, Failed };
    // Extends the lease of `item` to now + leaseSeconds. LeaseLost when it is no longer this
    // worker's.
    Kept renew(const Item &item, const QString &worker, int leaseSeconds,
               const QDateTime &now = QDateTime::currentDateTimeUtc());
    // Records the analysis and marks the item done with it, in one transaction. LeaseLost (and
    // nothing recorded) when the item is no longer this worker's.
    // The analysis's id goes to *recordedId when one is given.
    Kept finish(const Item &item, const QString &worker, const FinishedAnalysis &analysis,
                qint64 *recordedId = nullptr);
    // Puts the item back as waiting (a refusal, when `analysis` is given, is counted and the
    // analysis recorded, in the same transaction). LeaseLost when it was no longer this
    // worker's (then nothing is recorded).
    Kept putBack(const Item &item, const QString &worker, const FinishedAnalysis *refusedAnalysis,
                 qint64 *recordedId = nullptr);

    // Removes the done entries that finished before `before` (every done entry when nullopt);
    // never a waiting or working one, nor any recorded analysis. How many it removed.
    std::optional<qint64> prune(const std::optional<QDateTime> &before);

    QString errorString() const { return m_error; }
    HistoryStore &store() { return m_store; }

private:
    Kept failed(const QString &what, const QString &why);

    HistoryStore &m_store;
    QString m_error;
};

// A name for this worker that no other has: host, process and a random part.
QString newWorkerName();

} // namespace korvane
