#include "masking.h"

#include "store/outbox.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace korvane {

namespace {

constexpr qsizetype kSecretSegment = 16; // a path segment this long is taken for a key

// The parts of an address that are secret, as they stand in its text.
QStringList secretParts(const QString &address)
{
    QStringList parts;
    if (address.startsWith(QLatin1String("mailto:")))
        return parts;
    const QUrl url(address);
    if (!url.password(QUrl::FullyEncoded).isEmpty())
        parts.append(url.password(QUrl::FullyEncoded));
    for (const QString &segment : url.path(QUrl::FullyEncoded).split(QLatin1Char('/')))
        if (segment.size() >= kSecretSegment)
            parts.append(segment);
    for (const auto &[key, value] : QUrlQuery(url.query(QUrl::FullyEncoded)).queryItems(QUrl::FullyEncoded))
        if (!value.isEmpty())
            parts.append(value);
    return parts;
}

} // namespace

QString maskSecret(const QString &secret)
{
    if (secret.isEmpty())
        return QString();
    return secret.left(std::min<qsizetype>(4, secret.size() / 2)) + QStringLiteral("****");
}

QString maskedAddress(const QString &address)
{
    if (address.startsWith(QLatin1String("mailto:")))
        return address;
    const QUrl url(address);
    if (!url.isValid())
        return maskSecret(address);
    QString shown = url.scheme() + QStringLiteral("://");
    if (!url.userName().isEmpty())
        shown += url.userName(QUrl::FullyEncoded)
            + (url.password().isEmpty() ? QString() : QLatin1Char(':') + maskSecret(url.password(QUrl::FullyEncoded)))
            + QLatin1Char('@');
    shown += url.host(QUrl::FullyEncoded);
    if (url.port() != -1)
        shown += QLatin1Char(':') + QString::number(url.port());
    QStringList segments = url.path(QUrl::FullyEncoded).split(QLatin1Char('/'));
    for (QString &segment : segments)
        if (segment.size() >= kSecretSegment)
            segment = maskSecret(segment);
    shown += segments.join(QLatin1Char('/'));
    if (url.hasQuery()) {
        QStringList items;
        for (const auto &[key, value] : QUrlQuery(url.query(QUrl::FullyEncoded)).queryItems(QUrl::FullyEncoded))
            items.append(key + QLatin1Char('=') + maskSecret(value));
        shown += QLatin1Char('?') + items.join(QLatin1Char('&'));
    }
    return shown;
}

QString redacted(const QString &text, const AlertTarget &target)
{
    QString out = text;
    if (!target.address.isEmpty())
        out.replace(target.address, maskedAddress(target.address));
    QStringList parts = secretParts(target.address);
    if (!target.secret.isEmpty())
        parts.append(target.secret);
    // Longest first, so that a part inside another is not left half shown.
    std::sort(parts.begin(), parts.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &part : std::as_const(parts)) {
        out.replace(part, maskSecret(part));
        const QString decoded = QUrl::fromPercentEncoding(part.toUtf8());
        if (decoded != part)
            out.replace(decoded, maskSecret(decoded));
    }
    return out;
}

} // namespace korvane
