#pragma once

#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace korvane {

// Reads a proxy address: http://[USER[:PASSWORD]@]HOST[:PORT], socks5://… (names are looked up
// here) or socks5h://… (the proxy looks them up). User and password are percent-decoded. Without a
// port, an HTTP proxy is on 8080 and a SOCKS proxy on 1080. With `schemeOptional`, "HOST:PORT"
// alone means an HTTP proxy, as proxy variables are often written. nullopt, and `error` set to
// one short sentence, when the text is not such an address.
std::optional<QNetworkProxy> parseProxyUrl(const QString &text, bool schemeOptional, QString *error);

// Which proxy each request goes through: none, one for every request, or the one the
// environment names for the request's scheme.
//
// From the environment: http_proxy for http addresses, https_proxy for https ones, all_proxy
// for either when its own is not set (each also in upper case; the lower-case one wins). Hosts
// matched by no_proxy go direct: a comma- or space-separated list of names (matching the name
// and every name below it; a leading "." or "*." is the same), IP addresses, CIDR blocks
// (10.0.0.0/8), each with an optional ":PORT", or "*" for every host. Loopback addresses are
// not exempt by themselves: list them in no_proxy to reach them directly.
class ProxyRules
{
public:
    // Every request goes direct.
    ProxyRules() = default;
    // Every request goes through `proxy`, whatever the environment says.
    static ProxyRules through(const QNetworkProxy &proxy);
    static ProxyRules fromEnvironment(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    // Why a variable of the environment cannot be used ("http_proxy: ..."); empty when every
    // one can. A browser with such rules sends nothing rather than going around the proxy.
    QString problem() const { return m_problem; }
    // The proxy for a request to `url`; QNetworkProxy::NoProxy for a direct connection.
    QNetworkProxy proxyFor(const QUrl &url) const;

private:
    bool bypasses(const QUrl &url) const;

    std::optional<QNetworkProxy> m_every; // through(): every request
    std::optional<QNetworkProxy> m_http;
    std::optional<QNetworkProxy> m_https;
    QStringList m_noProxy;
    QString m_problem;
};

// Hands the rules to Qt Network (QNetworkAccessManager::setProxyFactory takes ownership).
class ProxyRulesFactory : public QNetworkProxyFactory
{
public:
    explicit ProxyRulesFactory(ProxyRules rules) : m_rules(std::move(rules)) {}
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override;

private:
    ProxyRules m_rules;
};

} // namespace korvane
