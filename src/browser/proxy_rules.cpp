#include "browser/proxy_rules.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace korvane {

namespace {

// The variable's value, lower-case name first; empty when neither is set.
QString variable(const QProcessEnvironment &environment, const QString &name)
{
    const QString lower = environment.value(name).trimmed();
    return lower.isEmpty() ? environment.value(name.toUpper()).trimmed() : lower;
}

// "host", "host:port", "[v6]" or "[v6]:port" of one no_proxy entry; port -1 when absent.
void splitHostPort(QString entry, QString *host, int *port)
{
    *port = -1;
    if (entry.startsWith(QLatin1Char('['))) {
        const qsizetype close = entry.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = entry.mid(close + 1);
            if (rest.startsWith(QLatin1Char(':')))
                *port = rest.mid(1).toInt();
            *host = entry.mid(1, close - 1);
            return;
        }
    }
    // One colon is a port; more are an IPv6 address without brackets.
    if (entry.count(QLatin1Char(':')) == 1 && !entry.contains(QLatin1Char('/'))) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        *port = entry.mid(colon + 1).toInt();
        entry.truncate(colon);
    }
    *host = entry;
}

} // namespace

std::optional<QNetworkProxy> parseProxyUrl(const QString &text, bool schemeOptional, QString *error)
{
    QString address = text.trimmed();
    if (schemeOptional && !address.contains(QLatin1String("://")))
        address.prepend(QLatin1String("http://"));
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    QNetworkProxy::ProxyType type;
    int defaultPort;
    if (scheme == QLatin1String("http")) {
        type = QNetworkProxy::HttpProxy;
        defaultPort = 8080;
    } else if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h")) {
        type = QNetworkProxy::Socks5Proxy;
        defaultPort = 1080;
    } else {
        *error = QStringLiteral("a proxy address starts with http:// or socks5://");
        return std::nullopt;
    }
    if (!url.isValid()) {
        *error = QStringLiteral("the proxy address cannot be read (") + url.errorString() + QLatin1Char(')');
        return std::nullopt;
    }
    if (url.host().isEmpty()) {
        *error = QStringLiteral("the proxy address has no host");
        return std::nullopt;
    }
    if (!(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() || url.hasFragment()) {
        *error = QStringLiteral("the proxy address has something after its host and port");
        return std::nullopt;
    }
    const int port = url.port(defaultPort);
    if (port <= 0) {
        *error = QStringLiteral("the proxy address has no usable port");
        return std::nullopt;
    }
    QNetworkProxy proxy(type, url.host(), quint16(port), url.userName(), url.password());
    // socks5: names are looked up here; socks5h: by the proxy (Qt's own default).
    if (scheme == QLatin1String("socks5"))
        proxy.setCapabilities(proxy.capabilities() & ~QNetworkProxy::HostNameLookupCapability);
    return proxy;
}

ProxyRules ProxyRules::through(const QNetworkProxy &proxy)
{
    ProxyRules rules;
    rules.m_every = proxy;
    return rules;
}

ProxyRules ProxyRules::fromEnvironment(const QProcessEnvironment &environment)
{
    ProxyRules rules;
    auto read = [&](const QString &name) -> std::optional<QNetworkProxy> {
        const QString value = variable(environment, name);
        if (value.isEmpty())
            return std::nullopt;
        QString error;
        auto proxy = parseProxyUrl(value, true, &error);
        if (!proxy && rules.m_problem.isEmpty())
            rules.m_problem = name + QStringLiteral(": ") + error;
        return proxy;
    };
    const auto all = read(QStringLiteral("all_proxy"));
    rules.m_http = read(QStringLiteral("http_proxy"));
    rules.m_https = read(QStringLiteral("https_proxy"));
    if (!rules.m_http)
        rules.m_http = all;
    if (!rules.m_https)
        rules.m_https = all;
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    rules.m_noProxy = variable(environment, QStringLiteral("no_proxy")).split(separators, Qt::SkipEmptyParts);
    return rules;
}

bool ProxyRules::bypasses(const QUrl &url) const
{
    const QString host = url.host().toLower();
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    const QHostAddress hostAddress(host);
    for (const QString &raw : m_noProxy) {
        if (raw == QLatin1String("*"))
            return true;
        QString entry;
        int entryPort;
        splitHostPort(raw.toLower(), &entry, &entryPort);
        if (entryPort >= 0 && entryPort != port)
            continue;
        if (entry.contains(QLatin1Char('/'))) {
            const auto subnet = QHostAddress::parseSubnet(entry);
            if (!hostAddress.isNull() && subnet.second >= 0 && hostAddress.isInSubnet(subnet))
                return true;
            continue;
        }
        const QHostAddress entryAddress(entry);
        if (!entryAddress.isNull()) {
            if (!hostAddress.isNull() && hostAddress.isEqual(entryAddress))
                return true;
            continue;
        }
        if (entry.startsWith(QLatin1String("*.")))
            entry.remove(0, 2);
        else if (entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (entry.endsWith(QLatin1Char('.')))
            entry.chop(1);
        if (!entry.isEmpty() && (host == entry || host.endsWith(QLatin1Char('.') + entry)))
            return true;
    }
    return false;
}

QNetworkProxy ProxyRules::proxyFor(const QUrl &url) const
{
    if (m_every)
        return *m_every;
    const QString scheme = url.scheme().toLower();
    const std::optional<QNetworkProxy> &proxy = scheme == QLatin1String("https") ? m_https : m_http;
    if (!proxy || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || bypasses(url))
        return QNetworkProxy(QNetworkProxy::NoProxy);
    return *proxy;
}

QList<QNetworkProxy> ProxyRulesFactory::queryProxy(const QNetworkProxyQuery &query)
{
    return {m_rules.proxyFor(query.url())};
}

} // namespace korvane
