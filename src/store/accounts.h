#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace korvane {

class HistoryStore;

// The web server's users and their API tokens, in a history store opened for writing (reading
// is enough for the look-ups). Passwords and tokens arrive here already hashed: the store never
// sees either in the clear.
class Accounts
{
public:
    explicit Accounts(HistoryStore &store);

    struct User
    {
        qint64 id = 0;
        QString name;
        QString role; // "admin" or "viewer"
        QString passwordHash;
        QDateTime createdAt;
    };
    struct Token
    {
        qint64 id = 0;
        QString user;
        QDateTime createdAt;
        QDateTime revokedAt; // invalid while the token is valid
    };

    // False inside when a user of that name is there already (nothing is changed).
    std::optional<bool> addUser(const QString &name, const QString &role, const QString &passwordHash,
                                const QDateTime &now = QDateTime::currentDateTimeUtc());
    // Removes the user and its tokens; false inside when there was no such user.
    std::optional<bool> deleteUser(const QString &name);
    // Every user, by name.
    std::optional<QList<User>> users();
    std::optional<qint64> userCount();
    std::optional<std::optional<User>> user(const QString &name);

    // The token's id; an empty optional inside when there is no such user.
    std::optional<std::optional<qint64>> addToken(const QString &userName, const QString &tokenHash,
                                                  const QDateTime &now = QDateTime::currentDateTimeUtc());
    std::optional<QList<Token>> tokens();
    // False inside when there is no such token, or it was revoked already.
    std::optional<bool> revokeToken(qint64 id, const QDateTime &now = QDateTime::currentDateTimeUtc());
    // The user of a token that has not been revoked.
    std::optional<std::optional<User>> userOfToken(const QString &tokenHash);

    QString errorString() const { return m_error; }

private:
    HistoryStore &m_store;
    QString m_error;
};

} // namespace korvane
