#include "work_queue.h"

#include "history_store.h"
#include "store_sql.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

namespace korvane {

namespace {

const QString kWaiting = QStringLiteral("waiting");
const QString kWorking = QStringLiteral("working");
const QString kDone = QStringLiteral("done");

} // namespace

QString newWorkerName()
{
    return QStringLiteral("%1/%2/%3")
        .arg(QSysInfo::machineHostName())
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

WorkQueue::WorkQueue(HistoryStore &store) : m_store(store) {}

WorkQueue::Kept WorkQueue::failed(const QString &what, const QString &why)
{
    m_error = QStringLiteral("cannot %1 in %2: %3").arg(what, m_store.path(), why);
    return Kept::Failed;
}

std::optional<WorkQueue::Added> WorkQueue::add(const QStringList &domains)
{
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen()) {
        failed(QStringLiteral("add to the queue"), transaction.error());
        return std::nullopt;
    }
    Added result;
    {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO queue (domain, state, added_at) VALUES (?, ?, ?) "
                                      "ON CONFLICT (domain) WHERE state = 'waiting' DO NOTHING"));
        const QString now = storedTime(QDateTime::currentDateTimeUtc());
        for (const QString &domain : domains) {
            insert.bindValue(0, domain);
            insert.bindValue(1, kWaiting);
            insert.bindValue(2, now);
            if (!insert.exec()) {
                failed(QStringLiteral("add %1 to the queue").arg(domain), sqlError(insert.lastError()));
                return std::nullopt;
            }
            (insert.numRowsAffected() > 0 ? result.added : result.alreadyWaiting).append(domain);
        }
    }
    if (!transaction.commit()) {
        failed(QStringLiteral("add to the queue"), transaction.error());
        return std::nullopt;
    }
    return result;
}

std::optional<WorkQueue::Counts> WorkQueue::counts(const QDateTime &now)
{
    Counts counts;
    if (m_store.version() < 2)
        return counts; // a store from before the queue: nothing was ever queued
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT state, COUNT(*), SUM(refusals) FROM queue GROUP BY state"))) {
        failed(QStringLiteral("read the queue"), sqlError(query.lastError()));
        return std::nullopt;
    }
    while (query.next()) {
        const QString state = query.value(0).toString();
        const qint64 count = query.value(1).toLongLong();
        if (state == kWaiting)
            counts.waiting = count;
        else if (state == kWorking)
            counts.working = count;
        else if (state == kDone)
            counts.done = count;
        counts.refused += query.value(2).toLongLong();
    }
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM queue WHERE state = ? AND leased_until < ?"));
    query.addBindValue(kWorking);
    query.addBindValue(storedTime(now));
    if (!query.exec() || !query.next()) {
        failed(QStringLiteral("read the queue"), sqlError(query.lastError()));
        return std::nullopt;
    }
    counts.expired = query.value(0).toLongLong();
    return counts;
}

std::optional<std::optional<WorkQueue::Item>> WorkQueue::take(const QString &worker, int leaseSeconds,
                                                              const QDateTime &now)
{
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    // One statement takes the row. On PostgreSQL it runs alone (its own transaction) and
    // skips the rows other sessions hold; on SQLite it runs under the write lock.
    const bool server = m_store.onServer();
    std::optional<WriteTransaction> transaction;
    if (!server) {
        transaction.emplace(db, m_store.beginWrite());
        if (!transaction->isOpen()) {
            failed(QStringLiteral("take work"), transaction->error());
            return std::nullopt;
        }
    }
    std::optional<Item> item;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("UPDATE queue SET state = ?, worker = ?, leased_until = ?, taken = taken + 1 "
                                     "WHERE id = (SELECT id FROM queue WHERE state = ? OR (state = ? AND leased_until < ?) "
                                     "ORDER BY id LIMIT 1%1) RETURNING id, domain")
                          .arg(server ? QStringLiteral(" FOR UPDATE SKIP LOCKED") : QString()));
        query.addBindValue(kWorking);
        query.addBindValue(worker);
        query.addBindValue(storedTime(now.addSecs(leaseSeconds)));
        query.addBindValue(kWaiting);
        query.addBindValue(kWorking);
        query.addBindValue(storedTime(now));
        if (!query.exec()) {
            failed(QStringLiteral("take work"), sqlError(query.lastError()));
            return std::nullopt;
        }
        if (query.next())
            item = Item{query.value(0).toLongLong(), query.value(1).toString()};
        query.finish();
    }
    if (transaction && !transaction->commit()) {
        failed(QStringLiteral("take work"), transaction->error());
        return std::nullopt;
    }
    return item;
}

WorkQueue::Kept WorkQueue::renew(const Item &item, const QString &worker, int leaseSeconds, const QDateTime &now)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("UPDATE queue SET leased_until = ? WHERE id = ? AND worker = ? AND state = ?"));
    query.addBindValue(storedTime(now.addSecs(leaseSeconds)));
    query.addBindValue(item.id);
    query.addBindValue(worker);
    query.addBindValue(kWorking);
    if (!query.exec())
        return failed(QStringLiteral("renew the lease of %1").arg(item.domain), sqlError(query.lastError()));
    return query.numRowsAffected() > 0 ? Kept::Yes : Kept::LeaseLost;
}

WorkQueue::Kept WorkQueue::finish(const Item &item, const QString &worker, const FinishedAnalysis &analysis,
                                  qint64 *recordedId)
{
    const QString what = QStringLiteral("record %1").arg(item.domain);
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen())
        return failed(what, transaction.error());
    QString error;
    const auto id = m_store.insertAnalysis(storedAnalysisOf(analysis), storedSitesOf(analysis), &error);
    if (!id)
        return failed(what, error);
    {
        QSqlQuery done(db);
        done.prepare(QStringLiteral("UPDATE queue SET state = ?, leased_until = NULL, analysis_id = ?, done_at = ? "
                                    "WHERE id = ? AND worker = ? AND state = ?"));
        done.addBindValue(kDone);
        done.addBindValue(*id);
        done.addBindValue(storedTime(QDateTime::currentDateTimeUtc()));
        done.addBindValue(item.id);
        done.addBindValue(worker);
        done.addBindValue(kWorking);
        if (!done.exec())
            return failed(what, sqlError(done.lastError()));
        if (done.numRowsAffected() == 0)
            return Kept::LeaseLost; // another worker has it now: nothing of this one is kept
    }
    if (!transaction.commit())
        return failed(what, transaction.error());
    if (recordedId)
        *recordedId = *id;
    return Kept::Yes;
}

std::optional<qint64> WorkQueue::prune(const std::optional<QDateTime> &before)
{
    if (m_store.version() < 2)
        return 0; // a store from before the queue
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("DELETE FROM queue WHERE state = ?%1")
                      .arg(before ? QStringLiteral(" AND done_at < ?") : QString()));
    query.addBindValue(kDone);
    if (before)
        query.addBindValue(storedTime(*before));
    if (!query.exec()) {
        failed(QStringLiteral("prune the queue"), sqlError(query.lastError()));
        return std::nullopt;
    }
    return query.numRowsAffected();
}

WorkQueue::Kept WorkQueue::putBack(const Item &item, const QString &worker, const FinishedAnalysis *refusedAnalysis,
                                   qint64 *recordedId)
{
    const QString what = QStringLiteral("put %1 back in the queue").arg(item.domain);
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen())
        return failed(what, transaction.error());
    QString error;
    std::optional<qint64> refusedId;
    if (refusedAnalysis) {
        refusedId = m_store.insertAnalysis(storedAnalysisOf(*refusedAnalysis), storedSitesOf(*refusedAnalysis), &error);
        if (!refusedId)
            return failed(what, error);
    }
    const int refusals = refusedAnalysis ? 1 : 0;
    {
        // The refusals this entry met before, which go with it.
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT refusals FROM queue WHERE id = ? AND worker = ? AND state = ?"));
        query.addBindValue(item.id);
        query.addBindValue(worker);
        query.addBindValue(kWorking);
        if (!query.exec())
            return failed(what, sqlError(query.lastError()));
        if (!query.next())
            return Kept::LeaseLost;
        const int earlierRefusals = query.value(0).toInt();
        query.finish();
        // When the domain was added again meanwhile, the entry waiting already stands for it.
        query.prepare(QStringLiteral("DELETE FROM queue WHERE id = ? AND worker = ? AND state = ? AND EXISTS "
                                     "(SELECT 1 FROM queue AS twin WHERE twin.domain = ? AND twin.state = ?)"));
        query.addBindValue(item.id);
        query.addBindValue(worker);
        query.addBindValue(kWorking);
        query.addBindValue(item.domain);
        query.addBindValue(kWaiting);
        if (!query.exec())
            return failed(what, sqlError(query.lastError()));
        if (query.numRowsAffected() > 0) {
            query.prepare(QStringLiteral("UPDATE queue SET refusals = refusals + ? WHERE domain = ? AND state = ?"));
            query.addBindValue(refusals + earlierRefusals);
            query.addBindValue(item.domain);
            query.addBindValue(kWaiting);
        } else {
            query.prepare(QStringLiteral("UPDATE queue SET state = ?, worker = NULL, leased_until = NULL, "
                                         "refusals = refusals + ? WHERE id = ? AND worker = ? AND state = ?"));
            query.addBindValue(kWaiting);
            query.addBindValue(refusals);
            query.addBindValue(item.id);
            query.addBindValue(worker);
            query.addBindValue(kWorking);
        }
        if (!query.exec())
            return failed(what, sqlError(query.lastError()));
        if (query.numRowsAffected() == 0)
            return Kept::LeaseLost;
    }
    if (!transaction.commit())
        return failed(what, transaction.error());
    if (recordedId && refusedId)
        *recordedId = *refusedId;
    return Kept::Yes;
}

} // namespace korvane
