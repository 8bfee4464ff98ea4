#include "tracked_domains.h"

#include "history_store.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace korvane {

namespace {

QString sqlError(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

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

// A write transaction, rolled back unless committed.
class Transaction
{
public:
    Transaction(QSqlDatabase db, const QString &begin) : m_query(db) { m_open = m_query.exec(begin); }
    ~Transaction()
    {
        if (m_open)
            m_query.exec(QStringLiteral("ROLLBACK"));
    }
    bool isOpen() const { return m_open; }
    QString error() const { return sqlError(m_query.lastError()); }
    bool commit()
    {
        if (!m_query.exec(QStringLiteral("COMMIT")))
            return false;
        m_open = false;
        return true;
    }

private:
    QSqlQuery m_query;
    bool m_open = false;
};

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
    Transaction transaction(db, m_store.beginWrite());
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
    Transaction transaction(db, m_store.beginWrite());
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
    Transaction transaction(db, m_store.beginWrite());
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

std::optional<QList<TrackedDomains::Overview>> TrackedDomains::overview(int recentCount, ChangeCache *cache)
{
    const QString what = QStringLiteral("read the tracked domains");
    const auto tracked = list();
    if (!tracked)
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    // Each domain's latest analyses and its two latest complete ones, through the index on
    // (domain, finished_at): a few rows a domain rather than every analysis.
    QSqlQuery latest(db);
    latest.setForwardOnly(true);
    latest.prepare(QStringLiteral("SELECT id, domain, engine, started_at, finished_at, outcome, engine_total, sites, "
                                  "pages_requested, pages_read, status, version FROM analyses WHERE domain = ? "
                                  "ORDER BY finished_at DESC, id DESC LIMIT ?"));
    QSqlQuery complete(db);
    complete.setForwardOnly(true);
    complete.prepare(QStringLiteral("SELECT id FROM analyses WHERE domain = ? AND outcome = ? "
                                    "ORDER BY finished_at DESC, id DESC LIMIT 2"));
    QHash<QString, QList<StoredAnalysis>> recent;
    QHash<QString, std::pair<qint64, qint64>> pairs; // domain -> (earlier, later)
    for (const Tracked &t : *tracked) {
        latest.bindValue(0, t.domain);
        latest.bindValue(1, recentCount);
        if (!latest.exec())
            return fail(what, sqlError(latest.lastError()));
        QList<StoredAnalysis> list;
        while (latest.next()) {
            StoredAnalysis a;
            a.id = latest.value(0).toLongLong();
            a.domain = latest.value(1).toString();
            a.engine = latest.value(2).toString();
            a.startedAt = timeFromStore(latest.value(3).toString());
            a.finishedAt = timeFromStore(latest.value(4).toString());
            a.outcome = latest.value(5).toString();
            if (!latest.value(6).isNull())
                a.engineTotal = latest.value(6).toLongLong();
            a.sites = latest.value(7).toLongLong();
            a.pagesRequested = latest.value(8).toInt();
            a.pagesRead = latest.value(9).toInt();
            a.status = latest.value(10).toString();
            a.version = latest.value(11).toString();
            list.prepend(a);
        }
        recent.insert(t.domain, list);
        complete.bindValue(0, t.domain);
        complete.bindValue(1, QStringLiteral("complete"));
        if (!complete.exec())
            return fail(what, sqlError(complete.lastError()));
        QList<qint64> ids;
        while (complete.next())
            ids.append(complete.value(0).toLongLong());
        if (ids.size() == 2)
            pairs.insert(t.domain, {ids.at(1), ids.at(0)});
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
    QList<Overview> result;
    result.reserve(tracked->size());
    for (const Tracked &t : *tracked) {
        Overview o;
        o.tracked = t;
        o.recent = recent.value(t.domain);
        const auto pair = pairs.constFind(t.domain);
        if (pair != pairs.cend()) {
            std::optional<std::pair<qint64, qint64>> change;
            if (cache && cache->contains(*pair))
                change = cache->value(*pair);
            if (!change) {
                const auto after = sitesOf(pair->second);
                const auto before = after ? sitesOf(pair->first) : std::nullopt;
                if (!before)
                    return fail(what, sqlError(names.lastError()));
                change = countNewAndLost(*before, *after);
                if (cache)
                    cache->insert(*pair, *change);
            }
            o.newSites = change->first;
            o.lostSites = change->second;
        }
        result.append(o);
    }
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
