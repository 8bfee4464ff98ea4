#include "credentials.h"

#include <sodium.h>

namespace korvane {

bool credentialsReady()
{
    return sodium_init() >= 0;
}

std::optional<QString> hashPassword(const QString &password, HashCost cost)
{
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    const bool minimal = cost == HashCost::Minimal;
    if (crypto_pwhash_str_alg(out, bytes.constData(), quint64(bytes.size()),
                              minimal ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              minimal ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE,
                              crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return std::nullopt;
    return QString::fromLatin1(out);
}

bool passwordMatches(const QString &password, const QString &storedHash)
{
    const QByteArray bytes = password.toUtf8();
    const QByteArray stored = storedHash.toLatin1();
    if (stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(stored.constData(), bytes.constData(), quint64(bytes.size())) == 0;
}

namespace {

QByteArray randomHex(size_t bytes)
{
    QByteArray raw(qsizetype(bytes), Qt::Uninitialized);
    randombytes_buf(raw.data(), bytes);
    return raw.toHex();
}

} // namespace

QString newApiToken()
{
    return QStringLiteral("kv_") + QString::fromLatin1(randomHex(32));
}

QString tokenHash(const QString &token)
{
    const QByteArray bytes = token.toUtf8();
    QByteArray hash(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char *>(hash.data()), size_t(hash.size()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()), quint64(bytes.size()), nullptr, 0);
    return QString::fromLatin1(hash.toHex());
}

QByteArray newRandomId()
{
    return randomHex(32);
}

} // namespace korvane
