#include "accounts.h"

#include "history_store.h"
#include "store_sql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace korvane {

namespace {

Accounts::User userFromRow(const QSqlQuery &query)
{
    return {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString(),
            query.value(3).toString(), timeFromStore(query.value(4).toString())};
}

const QString kUserColumns = QStringLiteral("users.id, users.name, users.role, users.password_hash, users.created_at");

} // namespace

Accounts::Accounts(HistoryStore &store) : m_store(store) {}

#define KORVANE_FAIL(what, query)                                                                           \
    do {                                                                                                    \
        m_error = QStringLiteral("cannot %1 in %2: %3").arg(what, m_store.path(), sqlError((query).lastError())); \
        return std::nullopt;                                                                                \
    } while (false)

std::optional<bool> Accounts::addUser(const QString &name, const QString &role, const QString &passwordHash,
                                      const QDateTime &now)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("INSERT INTO users (name, role, password_hash, created_at) VALUES (?, ?, ?, ?) "
                                 "ON CONFLICT (name) DO NOTHING"));
    query.addBindValue(name);
    query.addBindValue(role);
    query.addBindValue(passwordHash);
    query.addBindValue(storedTime(now));
    if (!query.exec())
        KORVANE_FAIL(QStringLiteral("add the user %1").arg(name), query);
    return query.numRowsAffected() > 0;
}

std::optional<bool> Accounts::deleteUser(const QString &name)
{
    QSqlDatabase db = QSqlDatabase::database(m_store.m_connection, false);
    WriteTransaction transaction(db, m_store.beginWrite());
    if (!transaction.isOpen()) {
        m_error = QStringLiteral("cannot remove the user %1 in %2: %3").arg(name, m_store.path(), transaction.error());
        return std::nullopt;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM tokens WHERE user_id IN (SELECT id FROM users WHERE name = ?)"));
    query.addBindValue(name);
    bool done = query.exec();
    bool found = false;
    if (done) {
        query.prepare(QStringLiteral("DELETE FROM users WHERE name = ?"));
        query.addBindValue(name);
        done = query.exec();
        found = done && query.numRowsAffected() > 0;
    }
    QString error;
    if (!done)
        error = sqlError(query.lastError());
    else if (!transaction.commit())
        error = transaction.error();
    if (!error.isEmpty()) {
        m_error = QStringLiteral("cannot remove the user %1 in %2: %3").arg(name, m_store.path(), error);
        return std::nullopt;
    }
    return found;
}

std::optional<QList<Accounts::User>> Accounts::users()
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ") + kUserColumns + QStringLiteral(" FROM users ORDER BY name")))
        KORVANE_FAIL(QStringLiteral("read the users"), query);
    QList<User> list;
    while (query.next())
        list.append(userFromRow(query));
    return list;
}

std::optional<qint64> Accounts::userCount()
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM users")) || !query.next())
        KORVANE_FAIL(QStringLiteral("read the users"), query);
    return query.value(0).toLongLong();
}

std::optional<std::optional<Accounts::User>> Accounts::user(const QString &name)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + kUserColumns + QStringLiteral(" FROM users WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec())
        KORVANE_FAIL(QStringLiteral("read the users"), query);
    if (!query.next())
        return std::optional<User>();
    return std::optional<User>(userFromRow(query));
}

std::optional<std::optional<qint64>> Accounts::addToken(const QString &userName, const QString &tokenHash,
                                                        const QDateTime &now)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("INSERT INTO tokens (user_id, token_hash, created_at) "
                                 "SELECT id, ?, ? FROM users WHERE name = ? RETURNING id"));
    query.addBindValue(tokenHash);
    query.addBindValue(storedTime(now));
    query.addBindValue(userName);
    if (!query.exec())
        KORVANE_FAIL(QStringLiteral("add a token"), query);
    if (!query.next())
        return std::optional<qint64>();
    return std::optional<qint64>(query.value(0).toLongLong());
}

std::optional<QList<Accounts::Token>> Accounts::tokens()
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT tokens.id, users.name, tokens.created_at, tokens.revoked_at FROM tokens "
                                   "JOIN users ON users.id = tokens.user_id ORDER BY tokens.id")))
        KORVANE_FAIL(QStringLiteral("read the tokens"), query);
    QList<Token> list;
    while (query.next())
        list.append({query.value(0).toLongLong(), query.value(1).toString(), timeFromStore(query.value(2).toString()),
                     query.value(3).isNull() ? QDateTime() : timeFromStore(query.value(3).toString())});
    return list;
}

std::optional<bool> Accounts::revokeToken(qint64 id, const QDateTime &now)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.prepare(QStringLiteral("UPDATE tokens SET revoked_at = ? WHERE id = ? AND revoked_at IS NULL"));
    query.addBindValue(storedTime(now));
    query.addBindValue(id);
    if (!query.exec())
        KORVANE_FAIL(QStringLiteral("revoke the token"), query);
    return query.numRowsAffected() > 0;
}

std::optional<std::optional<Accounts::User>> Accounts::userOfToken(const QString &tokenHash)
{
    QSqlQuery query(QSqlDatabase::database(m_store.m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + kUserColumns
                  + QStringLiteral(" FROM tokens JOIN users ON users.id = tokens.user_id "
                                   "WHERE tokens.token_hash = ? AND tokens.revoked_at IS NULL"));
    query.addBindValue(tokenHash);
    if (!query.exec())
        KORVANE_FAIL(QStringLiteral("read the tokens"), query);
    if (!query.next())
        return std::optional<User>();
    return std::optional<User>(userFromRow(query));
}

#undef KORVANE_FAIL

} // namespace korvane
