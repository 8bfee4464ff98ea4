#pragma once

#include "history.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

class HistoryStore;

// The domains the web server tracks, each with its schedule: analysed every interval_hours
// (0: only when asked), the next run due at next_run. Due domains go into the store's work
// queue, where any worker takes them.
class TrackedDomains
{
public:
    explicit TrackedDomains(HistoryStore &store);

    struct Tracked
    {
        QString domain;
        int intervalHours = 24;
        QDateTime nextRun; // invalid when the schedule is off
        QDateTime addedAt;
    };

    struct Added
    {
        QStringList added;
        QStringList alreadyTracked; // kept as they were, history and schedule included
    };
    // Tracks each domain (once) with this interval, the first run due now; in one transaction.
    std::optional<Added> track(const QStringList &domains, int intervalHours,
                               const QDateTime &now = QDateTime::currentDateTimeUtc());
    // Stops tracking `domain`; with `dropHistory`, its analyses and its queue entries go too.
    // False inside when it was not tracked.
    std::optional<bool> untrack(const QString &domain, bool dropHistory);
    // Every `intervalHours` from now on (0: off). False inside when it is not tracked.
    std::optional<bool> setInterval(const QString &domain, int intervalHours,
                                    const QDateTime &now = QDateTime::currentDateTimeUtc());
    // Every tracked domain, by name.
    std::optional<QList<Tracked>> list();
    std::optional<std::optional<Tracked>> find(const QString &domain);

    // Puts every domain whose run is due in the queue as waiting, unless it is waiting or
    // being worked on already, and moves its next run one interval on; in one transaction.
    // The domains queued.
    std::optional<QStringList> queueDue(const QDateTime &now = QDateTime::currentDateTimeUtc());

    // A tracked domain as the dashboard shows it.
    struct Overview
    {
        Tracked tracked;
        QList<StoredAnalysis> recent;   // its latest analyses, oldest first (at most `recentCount`)
        std::optional<qint64> newSites; // its latest change: the latest complete analysis against
        std::optional<qint64> lostSites; // the complete one before it
    };
    // What the latest change of a domain gained and lost, by the two analyses it is between.
    // Recorded analyses do not change, so a caller may keep these between calls; overview()
    // keeps only the entries of the changes it read.
    using ChangeCache = QHash<QString, std::pair<qint64, qint64>>;
    // With `latestSites`, the rows of each domain's latest analysis too, by its id; all from
    // one snapshot of the store. Without `Changes::Counted`, newSites and lostSites stay empty.
    enum class Changes { Counted, NotCounted };
    std::optional<QList<Overview>> overview(int recentCount, ChangeCache *cache = nullptr,
                                            QHash<qint64, QList<StoredSite>> *latestSites = nullptr,
                                            Changes changes = Changes::Counted);

    // The queue's entries as the queue page lists them.
    struct QueueEntry
    {
        qint64 id = 0;
        QString domain;
        QString state; // "waiting", "working" or "done"
        QString worker;
        QDateTime addedAt;
        QDateTime leasedUntil;
        QDateTime doneAt;
        int refusals = 0;
        std::optional<qint64> analysisId;
    };
    // Every entry waiting or working, and those done or refused since `since`.
    std::optional<QList<QueueEntry>> queueEntries(const QDateTime &since);

    QString errorString() const { return m_error; }

private:
    std::nullopt_t fail(const QString &what, const QString &why);

    HistoryStore &m_store;
    QString m_error;
};

} // namespace korvane
