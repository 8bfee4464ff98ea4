#include "outbox.h"

#include "history.h"
#include "history_store.h"
#include "store_sql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace korvane {

namespace {

QVariant nullWhenEmpty(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

const QString kTargetColumns = QStringLiteral("id, domain, address, format, secret");

AlertTarget targetFromRow(const QSqlQuery &query, int at)
{
    AlertTarget target;
    target.id = query.value(at).toLongLong();
    target.domain = query.value(at + 1).toString();
    target.address = query.value(at + 2).toString();
    target.format = query.value(at + 3).toString();
    target.secret = query.value(at + 4).toString();
    return target;
}

const QString kMessageColumns = QStringLiteral(
    "id, event_id, event, domain, analysis_id, target_id, target_domain, address, format, secret, payload, state, "
    "tries, created_at, next_try_at, last_try_at, last_answer");

OutboxMessage messageFromRow(const QSqlQuery &query)
{
    OutboxMessage m;
    m.id = query.value(0).toLongLong();
    m.eventId = query.value(1).toString();
    m.event = query.value(2).toString();
    m.domain = query.value(3).toString();
    m.analysisId = query.value(4).toLongLong();
    m.target = targetFromRow(query, 5);
    m.payload = query.value(10).toString().toUtf8();
    m.state = query.value(11).toString();
    m.tries = query.value(12).toInt();
    m.createdAt = timeFromStore(query.value(13).toString());
    m.nextTryAt = timeFromStore(query.value(14).toString());
    m.lastTryAt = timeFromStore(query.value(15).toString());
    m.lastAnswer = query.value(16).toString();
    return m;
}

} // namespace

Outbox::Outbox(HistoryStore &store) : m_store(store) {}

bool Outbox::failed(const QString &what, const QString &why)
{
    m_error = QStringLiteral("cannot %1 in %2: %3").arg(what, m_store.path(), why);
    return false;
}

std::optional<QList<AlertTarget>> Outbox::targets(const QString &domain)
{
    QList<AlertTarget> list;
    if (m_store.version() < 5)
        return list; // a store from before alerts: none was ever set
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    if (domain.isEmpty()) {
        query.prepare(QStringLiteral("SELECT ") + kTargetColumns + QStringLiteral(" FROM alert_targets ORDER BY id"));
    } else {
        query.prepare(QStringLiteral("SELECT ") + kTargetColumns
                      + QStringLiteral(" FROM alert_targets WHERE domain IS NULL OR domain = ? ORDER BY id"));
        query.addBindValue(domain);
    }
    if (!query.exec()) {
        failed(QStringLiteral("read the alert targets"), sqlError(query.lastError()));
        return std::nullopt;
    }
    while (query.next())
        list.append(targetFromRow(query, 0));
    return list;
}

std::optional<qint64> Outbox::addTarget(const AlertTarget &target)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("INSERT INTO alert_targets (domain, address, format, secret, added_at) "
                                 "VALUES (?, ?, ?, ?, ?) RETURNING id"));
    query.addBindValue(nullWhenEmpty(target.domain));
    query.addBindValue(target.address);
    query.addBindValue(target.format);
    query.addBindValue(nullWhenEmpty(target.secret));
    query.addBindValue(storedTime(QDateTime::currentDateTimeUtc()));
    if (!query.exec() || !query.next()) {
        failed(QStringLiteral("add an alert target"), sqlError(query.lastError()));
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<bool> Outbox::removeTarget(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM alert_targets WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        failed(QStringLiteral("remove alert target %1").arg(id), sqlError(query.lastError()));
        return std::nullopt;
    }
    return query.numRowsAffected() > 0;
}

std::optional<QList<qint64>> Outbox::enqueue(const QList<OutboxMessage> &messages)
{
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    QList<qint64> ids;
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen()) {
        failed(QStringLiteral("write alerts"), transaction.error());
        return std::nullopt;
    }
    QString error;
    {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO outbox (event_id, event, domain, analysis_id, target_id, target_domain, address, format, "
            "secret, payload, state, tries, created_at, next_try_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?) "
            "RETURNING id"));
        for (const OutboxMessage &m : messages) {
            const QString created = storedTime(m.createdAt);
            insert.bindValue(0, m.eventId);
            insert.bindValue(1, m.event);
            insert.bindValue(2, m.domain);
            insert.bindValue(3, m.analysisId);
            insert.bindValue(4, m.target.id > 0 ? QVariant(m.target.id) : QVariant(QMetaType::fromType<qint64>()));
            insert.bindValue(5, nullWhenEmpty(m.target.domain));
            insert.bindValue(6, m.target.address);
            insert.bindValue(7, m.target.format);
            insert.bindValue(8, nullWhenEmpty(m.target.secret));
            insert.bindValue(9, QString::fromUtf8(m.payload));
            insert.bindValue(10, kOutboxPending);
            insert.bindValue(11, created);
            insert.bindValue(12, created);
            if (!insert.exec() || !insert.next()) {
                error = sqlError(insert.lastError());
                break;
            }
            ids.append(insert.value(0).toLongLong());
            insert.finish();
        }
    }
    if (error.isEmpty() && !transaction.commit())
        error = transaction.error();
    if (!error.isEmpty()) {
        failed(QStringLiteral("write alerts"), error);
        return std::nullopt;
    }
    return ids;
}

std::optional<QList<OutboxMessage>> Outbox::claim(const QDateTime &now, int claimSeconds, bool dueOnly,
                                                  const std::function<bool(qint64)> &wanted)
{
    QList<OutboxMessage> claimed;
    if (m_store.version() < 5)
        return claimed;
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    const QString nowText = storedTime(now);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen()) {
        failed(QStringLiteral("read the outbox"), transaction.error());
        return std::nullopt;
    }
    QString error;
    {
        // The candidates first; each is then taken by an update that only succeeds while it
        // is still pending and free, so that a message claimed meanwhile by another process
        // (on PostgreSQL) is left to it.
        QSqlQuery select(db);
        select.setForwardOnly(true);
        select.prepare(QStringLiteral("SELECT ") + kMessageColumns
                       + QStringLiteral(" FROM outbox WHERE state = ? AND (claimed_until IS NULL OR claimed_until < ?)%1 "
                                        "ORDER BY id")
                             .arg(dueOnly ? QStringLiteral(" AND next_try_at <= ?") : QString()));
        select.addBindValue(kOutboxPending);
        select.addBindValue(nowText);
        if (dueOnly)
            select.addBindValue(nowText);
        QList<OutboxMessage> candidates;
        if (select.exec()) {
            while (select.next()) {
                OutboxMessage m = messageFromRow(select);
                if (!wanted || wanted(m.id))
                    candidates.append(m);
            }
        } else {
            error = sqlError(select.lastError());
        }
        select.finish();
        QSqlQuery take(db);
        take.prepare(QStringLiteral("UPDATE outbox SET claimed_until = ? WHERE id = ? AND state = ? AND "
                                    "(claimed_until IS NULL OR claimed_until < ?)"));
        for (const OutboxMessage &m : std::as_const(candidates)) {
            if (!error.isEmpty())
                break;
            take.bindValue(0, storedTime(now.addSecs(claimSeconds)));
            take.bindValue(1, m.id);
            take.bindValue(2, kOutboxPending);
            take.bindValue(3, nowText);
            if (!take.exec())
                error = sqlError(take.lastError());
            else if (take.numRowsAffected() > 0)
                claimed.append(m);
        }
    }
    if (error.isEmpty() && !transaction.commit())
        error = transaction.error();
    if (!error.isEmpty()) {
        failed(QStringLiteral("read the outbox"), error);
        return std::nullopt;
    }
    return claimed;
}

bool Outbox::markDelivered(qint64 id, const QString &answer, const QDateTime &now)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("UPDATE outbox SET state = ?, tries = tries + 1, last_try_at = ?, last_answer = ?, "
                                 "claimed_until = NULL WHERE id = ? AND state = ?"));
    query.addBindValue(kOutboxDelivered);
    query.addBindValue(storedTime(now));
    query.addBindValue(answer);
    query.addBindValue(id);
    query.addBindValue(kOutboxPending);
    if (!query.exec())
        return failed(QStringLiteral("mark alert %1 delivered").arg(id), sqlError(query.lastError()));
    return true;
}

bool Outbox::markTried(qint64 id, const QString &answer, const QDateTime &now, const std::optional<QDateTime> &nextTry)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("UPDATE outbox SET state = ?, tries = tries + 1, last_try_at = ?, last_answer = ?, "
                                 "next_try_at = ?, claimed_until = NULL WHERE id = ? AND state = ?"));
    query.addBindValue(nextTry ? kOutboxPending : kOutboxFailed);
    query.addBindValue(storedTime(now));
    query.addBindValue(answer);
    query.addBindValue(storedTime(nextTry.value_or(now)));
    query.addBindValue(id);
    query.addBindValue(kOutboxPending);
    if (!query.exec())
        return failed(QStringLiteral("mark alert %1 tried").arg(id), sqlError(query.lastError()));
    return true;
}

bool Outbox::release(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("UPDATE outbox SET claimed_until = NULL WHERE id = ? AND state = ?"));
    query.addBindValue(id);
    query.addBindValue(kOutboxPending);
    if (!query.exec())
        return failed(QStringLiteral("release alert %1").arg(id), sqlError(query.lastError()));
    return true;
}

std::optional<QList<OutboxMessage>> Outbox::recent(int limit)
{
    QList<OutboxMessage> list;
    if (m_store.version() < 5)
        return list;
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + kMessageColumns + QStringLiteral(" FROM outbox ORDER BY id DESC LIMIT ?"));
    query.addBindValue(limit);
    if (!query.exec()) {
        failed(QStringLiteral("read the outbox"), sqlError(query.lastError()));
        return std::nullopt;
    }
    while (query.next())
        list.append(messageFromRow(query));
    return list;
}

std::optional<std::optional<OutboxMessage>> Outbox::message(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + kMessageColumns + QStringLiteral(" FROM outbox WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        failed(QStringLiteral("read the outbox"), sqlError(query.lastError()));
        return std::nullopt;
    }
    if (!query.next())
        return std::optional<OutboxMessage>();
    return std::optional<OutboxMessage>(messageFromRow(query));
}

std::optional<bool> Outbox::hasEventAfter(const QString &domain, const QString &event, qint64 afterAnalysisId)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM outbox WHERE domain = ? AND event = ? AND analysis_id > ?"));
    query.addBindValue(domain);
    query.addBindValue(event);
    query.addBindValue(afterAnalysisId);
    if (!query.exec() || !query.next()) {
        failed(QStringLiteral("read the outbox"), sqlError(query.lastError()));
        return std::nullopt;
    }
    return query.value(0).toLongLong() > 0;
}

std::optional<QDateTime> Outbox::nextDue()
{
    if (m_store.version() < 5)
        return QDateTime();
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    // A message another process holds is due when its claim runs out, at the earliest.
    query.prepare(QStringLiteral("SELECT MIN(CASE WHEN claimed_until IS NOT NULL AND claimed_until > next_try_at "
                                 "THEN claimed_until ELSE next_try_at END) FROM outbox WHERE state = ?"));
    query.addBindValue(kOutboxPending);
    if (!query.exec() || !query.next()) {
        failed(QStringLiteral("read the outbox"), sqlError(query.lastError()));
        return std::nullopt;
    }
    return query.value(0).isNull() ? QDateTime() : timeFromStore(query.value(0).toString());
}

} // namespace korvane
