#include "tracked_domains.h"

#include "history_store.h"
#include "store_sql.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace korvane {

namespace {

QVariant timeOrNull(const QDateTime &time)
{
    return time.isValid() ? QVariant(storedTime(time)) : QVariant(QMetaType::fromType<QString>());
}

QDateTime nullableTime(const QVariant &value)
{
    return value.isNull() ? QDateTime() : timeFromStore(value.toString());
}

QDateTime nextRunAfter(const QDateTime &now, int intervalHours)
{
    return intervalHours > 0 ? now.addSecs(qint64(intervalHours) * 3600) : QDateTime();
}

const QString kTrackedColumns = QStringLiteral("domain, interval_hours, next_run, added_at");

TrackedDomains::Tracked trackedFromRow(const QSqlQuery &query)
{
    return {query.value(0).toString(), query.value(1).toInt(), nullableTime(query.value(2)),
            timeFromStore(query.value(3).toString())};
}

} // namespace

TrackedDomains::TrackedDomains(HistoryStore &store) : m_store(store) {}

std::nullopt_t TrackedDomains::fail(const QString &what, const QString &why)
{
    m_error = QStringLiteral("cannot %1 in %2: %3").arg(what, m_store.path(), why);
    return std::nullopt;
}

std::optional<TrackedDomains::Added> TrackedDomains::track(const QStringList &domains, int intervalHours,
                                                           const QDateTime &now)
{
    const QString what = QStringLiteral("track domains");
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen())
        return fail(what, transaction.error());
    Added result;
    {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO tracked (domain, interval_hours, next_run, added_at) "
                                      "VALUES (?, ?, ?, ?) ON CONFLICT (domain) DO NOTHING"));
        QSet<QString> seen;
        for (const QString &domain : domains) {
            if (seen.contains(domain))
                continue;
            seen.insert(domain);
            insert.bindValue(0, domain);
            insert.bindValue(1, intervalHours);
            insert.bindValue(2, storedTime(now));
            insert.bindValue(3, storedTime(now));
            if (!insert.exec())
                return fail(what, sqlError(insert.lastError()));
            (insert.numRowsAffected() > 0 ? result.added : result.alreadyTracked).append(domain);
        }
    }
    if (!transaction.commit())
        return fail(what, transaction.error());
    return result;
}

std::optional<bool> TrackedDomains::untrack(const QString &domain, bool dropHistory)
{
    const QString what = QStringLiteral("stop tracking %1").arg(domain);
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen())
        return fail(what, transaction.error());
    bool found = false;
    {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("DELETE FROM tracked WHERE domain = ?"));
        query.addBindValue(domain);
        if (!query.exec())
            return fail(what, sqlError(query.lastError()));
        found = query.numRowsAffected() > 0;
        if (found && dropHistory) {
            const QStringList statements = {
                QStringLiteral("DELETE FROM queue WHERE domain = ?"),
                QStringLiteral("DELETE FROM sites WHERE analysis_id IN (SELECT id FROM analyses WHERE domain = ?)"),
                QStringLiteral("DELETE FROM analyses WHERE domain = ?"),
            };
            for (const QString &statement : statements) {
                query.prepare(statement);
                query.addBindValue(domain);
                if (!query.exec())
                    return fail(what, sqlError(query.lastError()));
            }
        }
    }
    if (!transaction.commit())
        return fail(what, transaction.error());
    return found;
}

std::optional<bool> TrackedDomains::setInterval(const QString &domain, int intervalHours, const QDateTime &now)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("UPDATE tracked SET interval_hours = ?, next_run = ? WHERE domain = ?"));
    query.addBindValue(intervalHours);
    query.addBindValue(timeOrNull(nextRunAfter(now, intervalHours)));
    query.addBindValue(domain);
    if (!query.exec())
        return fail(QStringLiteral("change the schedule of %1").arg(domain), sqlError(query.lastError()));
    return query.numRowsAffected() > 0;
}

std::optional<QList<TrackedDomains::Tracked>> TrackedDomains::list()
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ") + kTrackedColumns + QStringLiteral(" FROM tracked ORDER BY domain")))
        return fail(QStringLiteral("read the tracked domains"), sqlError(query.lastError()));
    QList<Tracked> list;
    while (query.next())
        list.append(trackedFromRow(query));
    return list;
}

std::optional<std::optional<TrackedDomains::Tracked>> TrackedDomains::find(const QString &domain)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + kTrackedColumns + QStringLiteral(" FROM tracked WHERE domain = ?"));
    query.addBindValue(domain);
    if (!query.exec())
        return fail(QStringLiteral("read the tracked domains"), sqlError(query.lastError()));
    if (!query.next())
        return std::optional<Tracked>();
    return std::optional<Tracked>(trackedFromRow(query));
}

std::optional<QStringList> TrackedDomains::queueDue(const QDateTime &now)
{
    const QString what = QStringLiteral("queue the domains due");
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen())
        return fail(what, transaction.error());
    QStringList queued;
    {
        QSqlQuery due(db);
        due.setForwardOnly(true);
        due.prepare(QStringLiteral("SELECT domain, interval_hours FROM tracked WHERE next_run IS NOT NULL AND next_run <= ? "
                                   "ORDER BY next_run, domain"));
        due.addBindValue(storedTime(now));
        if (!due.exec())
            return fail(what, sqlError(due.lastError()));
        QList<std::pair<QString, int>> domains;
        while (due.next())
            domains.append({due.value(0).toString(), due.value(1).toInt()});
        due.finish();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO queue (domain, state, added_at) SELECT ?, 'waiting', ? WHERE NOT EXISTS "
                                      "(SELECT 1 FROM queue WHERE domain = ? AND state IN ('waiting', 'working'))"));
        QSqlQuery next(db);
        next.prepare(QStringLiteral("UPDATE tracked SET next_run = ? WHERE domain = ?"));
        for (const auto &[domain, hours] : domains) {
            insert.bindValue(0, domain);
            insert.bindValue(1, storedTime(now));
            insert.bindValue(2, domain);
            if (!insert.exec())
                return fail(what, sqlError(insert.lastError()));
            if (insert.numRowsAffected() > 0)
                queued.append(domain);
            next.bindValue(0, timeOrNull(nextRunAfter(now, hours)));
            next.bindValue(1, domain);
            if (!next.exec())
                return fail(what, sqlError(next.lastError()));
        }
    }
    if (!transaction.commit())
        return fail(what, transaction.error());
    return queued;
}

std::optional<QList<TrackedDomains::Overview>> TrackedDomains::overview(int recentCount, ChangeCache *cache,
                                                                        QHash<qint64, QList<StoredSite>> *latestSites,
                                                                        Changes counting)
{
    const QString what = QStringLiteral("read the tracked domains");
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    // One snapshot for every query below, and one lock instead of one a statement.
    const ReadTransaction snapshot(db);
    const auto tracked = list();
    if (!tracked)
        return std::nullopt;

    // Each tracked domain's latest analyses, oldest first, in one statement that takes a few
    // rows a domain through the index on (domain, finished_at) (CROSS JOIN: the tracked domains
    // outside, which SQLite would otherwise not see as best): those finished no earlier than
    // the one `recentCount` from the end, of which ties may bring in a few more.
    QHash<QString, QList<StoredAnalysis>> recent;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT ") + analysisColumns(m_store.version(), QStringLiteral("a"))
                      + QStringLiteral(" FROM tracked t CROSS JOIN analyses a WHERE a.domain = t.domain AND a.finished_at >= "
                                       "COALESCE((SELECT b.finished_at FROM analyses b WHERE b.domain = t.domain "
                                       "ORDER BY b.finished_at DESC, b.id DESC LIMIT 1 OFFSET ?), '') "
                                       "ORDER BY t.domain, a.finished_at, a.id"));
        query.addBindValue(std::max(0, recentCount - 1));
        if (!query.exec())
            return fail(what, sqlError(query.lastError()));
        QList<StoredAnalysis> *list = nullptr;
        QString domain;
        while (query.next()) {
            const StoredAnalysis a = analysisFromRow(query);
            if (!list || a.domain != domain) {
                domain = a.domain;
                list = &recent[domain];
            }
            list->append(a);
        }
        if (query.lastError().isValid())
            return fail(what, sqlError(query.lastError()));
        for (QList<StoredAnalysis> &list : recent)
            list = list.mid(std::max<qsizetype>(0, list.size() - recentCount));
    }

    // Each tracked domain's two latest complete analyses (and any that tie with the earlier):
    // its latest change.
    struct Change
    {
        qint64 earlier = 0;
        qint64 later = 0;
        QString key; // what the change is known by in the cache
    };
    QHash<QString, Change> changes;
    if (counting == Changes::Counted) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT a.domain, a.id, a.finished_at FROM tracked t CROSS JOIN analyses a "
                                     "WHERE a.domain = t.domain AND a.outcome = ? AND a.finished_at >= COALESCE((SELECT b.finished_at FROM analyses b "
                                     "WHERE b.domain = t.domain AND b.outcome = ? ORDER BY b.finished_at DESC, b.id DESC "
                                     "LIMIT 1 OFFSET 1), '') "
                                     "ORDER BY t.domain, a.finished_at, a.id"));
        query.addBindValue(QStringLiteral("complete"));
        query.addBindValue(QStringLiteral("complete"));
        if (!query.exec())
            return fail(what, sqlError(query.lastError()));
        QString domain;
        qint64 id = 0;
        QString finished;
        while (query.next()) {
            const QString thisDomain = query.value(0).toString();
            const qint64 thisId = query.value(1).toLongLong();
            const QString thisFinished = query.value(2).toString();
            // Rows come oldest first: a domain's last two make its change.
            if (thisDomain == domain) {
                // A store may reuse the id of a deleted analysis; with the domain and both
                // times, the key names these two analyses and no others.
                changes.insert(domain, {id, thisId,
                                        domain + QLatin1Char('\n') + QString::number(id) + QLatin1Char('\n') + finished
                                            + QLatin1Char('\n') + QString::number(thisId) + QLatin1Char('\n') + thisFinished});
            }
            domain = thisDomain;
            id = thisId;
            finished = thisFinished;
        }
        if (query.lastError().isValid())
            return fail(what, sqlError(query.lastError()));
    }

    // The rows of each domain's latest analysis, for those who asked for them.
    if (latestSites) {
        latestSites->clear();
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT s.analysis_id, s.site, s.links, s.latest_date, s.latest_date_iso, s.latest_address "
                                     "FROM tracked t CROSS JOIN sites s WHERE s.analysis_id = (SELECT b.id FROM analyses b "
                                     "WHERE b.domain = t.domain ORDER BY b.finished_at DESC, b.id DESC LIMIT 1) "
                                     "ORDER BY t.domain, s.position"));
        if (!query.exec())
            return fail(what, sqlError(query.lastError()));
        QList<StoredSite> *rows = nullptr;
        qint64 id = 0;
        while (query.next()) {
            const qint64 thisId = query.value(0).toLongLong();
            if (!rows || thisId != id) {
                id = thisId;
                rows = &(*latestSites)[id];
            }
            rows->append({query.value(1).toString(), query.value(2).toInt(), query.value(3).toString(),
                          query.value(4).toString(), query.value(5).toString()});
        }
        if (query.lastError().isValid())
            return fail(what, sqlError(query.lastError()));
    }

    QSqlQuery names(db);
    names.setForwardOnly(true);
    names.prepare(QStringLiteral("SELECT site FROM sites WHERE analysis_id = ?"));
    const auto sitesOf = [&names](qint64 id) -> std::optional<QSet<QString>> {
        names.bindValue(0, id);
        if (!names.exec())
            return std::nullopt;
        QSet<QString> set;
        while (names.next())
            set.insert(names.value(0).toString());
        return set;
    };
    ChangeCache counted; // the cache's entries still in use
    QList<Overview> result;
    result.reserve(tracked->size());
    for (const Tracked &t : *tracked) {
        Overview o;
        o.tracked = t;
        o.recent = recent.value(t.domain);
        const auto change = changes.constFind(t.domain);
        if (change != changes.cend()) {
            std::optional<std::pair<qint64, qint64>> count;
            if (cache) {
                const auto known = cache->constFind(change->key);
                if (known != cache->cend())
                    count = *known;
            }
            if (!count) {
                const auto after = sitesOf(change->later);
                const auto before = after ? sitesOf(change->earlier) : std::nullopt;
                if (!before)
                    return fail(what, sqlError(names.lastError()));
                count = countNewAndLost(*before, *after);
            }
            counted.insert(change->key, *count);
            o.newSites = count->first;
            o.lostSites = count->second;
        }
        result.append(o);
    }
    // Changes no longer any domain's latest are forgotten: the cache stays as large as the list.
    if (cache && counting == Changes::Counted)
        *cache = std::move(counted);
    return result;
}

std::optional<QList<TrackedDomains::QueueEntry>> TrackedDomains::queueEntries(const QDateTime &since)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, domain, state, worker, added_at, leased_until, done_at, refusals, analysis_id "
                                 "FROM queue WHERE state <> 'done' OR done_at >= ? ORDER BY id"));
    query.addBindValue(storedTime(since));
    if (!query.exec())
        return fail(QStringLiteral("read the queue"), sqlError(query.lastError()));
    QList<QueueEntry> list;
    while (query.next()) {
        QueueEntry e;
        e.id = query.value(0).toLongLong();
        e.domain = query.value(1).toString();
        e.state = query.value(2).toString();
        e.worker = query.value(3).toString();
        e.addedAt = timeFromStore(query.value(4).toString());
        e.leasedUntil = nullableTime(query.value(5));
        e.doneAt = nullableTime(query.value(6));
        e.refusals = query.value(7).toInt();
        if (!query.value(8).isNull())
            e.analysisId = query.value(8).toLongLong();
        list.append(e);
    }
    return list;
}

} // namespace korvane
