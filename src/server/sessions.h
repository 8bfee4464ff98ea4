#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace korvane {

// The server's clock, a seam: tests pass their own.
using Clock = std::function<QDateTime()>;

// Signed-in sessions, kept in the server's memory: a random id (the cookie) names a user and
// the form token its forms carry. A session ends after 12 hours without a request, or when
// ended (sign-out, or a new sign-in with the same cookie).
class Sessions
{
public:
    static constexpr qint64 kIdleSeconds = 12 * 3600;

    explicit Sessions(Clock clock) : m_clock(std::move(clock)) {}

    struct Session
    {
        QString user;
        QByteArray csrf;
        QDateTime lastSeen;
    };
    // A new session for `user`; its id.
    QByteArray start(const QString &user);
    // The session of this id, its idle time restarted; nullopt when there is none or it has
    // been idle too long (then it is ended).
    std::optional<Session> use(const QByteArray &id);
    void end(const QByteArray &id);
    // Ends every session of `user` (a user removed).
    void endAllOf(const QString &user);
    qsizetype count() const { return m_sessions.size(); }

private:
    Clock m_clock;
    QHash<QByteArray, Session> m_sessions;
};

// Failed sign-ins: after 5 failures within 10 minutes for one name, or from one address,
// further tries are refused for 10 minutes, even with the right password.
class LoginLimit
{
public:
    static constexpr int kFailures = 5;
    static constexpr qint64 kWindowSeconds = 600;
    static constexpr qint64 kBlockSeconds = 600;

    explicit LoginLimit(Clock clock) : m_clock(std::move(clock)) {}

    bool blocked(const QString &name, const QString &address);
    void failed(const QString &name, const QString &address);

private:
    struct Key
    {
        QList<QDateTime> failures; // within the window
        QDateTime blockedUntil;
    };
    bool blockedKey(const QString &key);
    void failedKey(const QString &key);

    Clock m_clock;
    QHash<QString, Key> m_keys;
};

} // namespace korvane
