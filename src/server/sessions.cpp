#include "sessions.h"

#include "credentials.h"

namespace korvane {

QByteArray Sessions::start(const QString &user)
{
    // Sessions idle too long are dropped as new ones start, so that the table stays small.
    const QDateTime now = m_clock();
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if (it->lastSeen.secsTo(now) > kIdleSeconds)
            it = m_sessions.erase(it);
        else
            ++it;
    }
    const QByteArray id = newRandomId();
    m_sessions.insert(id, Session{user, newRandomId(), now});
    return id;
}

std::optional<Sessions::Session> Sessions::use(const QByteArray &id)
{
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return std::nullopt;
    const QDateTime now = m_clock();
    if (it->lastSeen.secsTo(now) > kIdleSeconds) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    it->lastSeen = now;
    return *it;
}

void Sessions::end(const QByteArray &id)
{
    m_sessions.remove(id);
}

void Sessions::endAllOf(const QString &user)
{
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if (it->user == user)
            it = m_sessions.erase(it);
        else
            ++it;
    }
}

bool LoginLimit::blocked(const QString &name, const QString &address)
{
    return blockedKey(QStringLiteral("name:") + name) || blockedKey(QStringLiteral("address:") + address);
}

void LoginLimit::failed(const QString &name, const QString &address)
{
    failedKey(QStringLiteral("name:") + name);
    failedKey(QStringLiteral("address:") + address);
}

bool LoginLimit::blockedKey(const QString &key)
{
    const auto it = m_keys.find(key);
    if (it == m_keys.end())
        return false;
    const QDateTime now = m_clock();
    if (it->blockedUntil.isValid() && now < it->blockedUntil)
        return true;
    if (it->blockedUntil.isValid()) {
        m_keys.erase(it); // the block has run out: a fresh start
        return false;
    }
    return false;
}

void LoginLimit::failedKey(const QString &key)
{
    const QDateTime now = m_clock();
    // Names and addresses whose failures are old and that are not blocked are forgotten, so
    // that tries with ever new names cannot fill the memory.
    if (m_keys.size() >= 10000) {
        m_keys.removeIf([&now](const std::pair<const QString &, Key &> &entry) {
            const Key &k = entry.second;
            return !(k.blockedUntil.isValid() && now < k.blockedUntil)
                && (k.failures.isEmpty() || k.failures.constLast().secsTo(now) >= kWindowSeconds);
        });
    }
    Key &k = m_keys[key];
    k.failures.removeIf([&now](const QDateTime &t) { return t.secsTo(now) >= kWindowSeconds; });
    k.failures.append(now);
    if (k.failures.size() >= kFailures) {
        k.blockedUntil = now.addSecs(kBlockSeconds);
        k.failures.clear();
    }
}

} // namespace korvane
