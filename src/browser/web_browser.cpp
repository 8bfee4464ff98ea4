#include "browser/web_browser.h"

#include "browser/charset.h"
#include "browser/verification.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace korvane {

namespace {

constexpr int kMaxRedirects = 10; // as many hops as one load follows
constexpr qint64 kMaxBodyBytes = 64 * 1024 * 1024;

bool isWebScheme(const QUrl &url)
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString addressText(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

// "30 s", or "1500 ms" when not whole seconds.
QString durationText(std::chrono::milliseconds duration)
{
    if (duration.count() % 1000 == 0)
        return QStringLiteral("%1 s").arg(duration.count() / 1000);
    return QStringLiteral("%1 ms").arg(duration.count());
}

QString hostPort(const QString &host, int port)
{
    return port < 0 ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace

QString errorPageHtml(const QString &reason)
{
    return QStringLiteral("<html><head><title>该页无法显示</title></head><body><h1>该页无法显示</h1>"
                          "<p>")
        + reason.toHtmlEscaped() + QStringLiteral("</p></body></html>");
}

WebBrowser::WebBrowser(QObject *parent)
    : Browser(parent), m_network(new QNetworkAccessManager(this))
{
    // One jar for the browser's whole life: cookies set by one page go with the next request.
    m_network->setCookieJar(new QNetworkCookieJar(m_network));
    setProxyRules(ProxyRules::fromEnvironment());
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        failPendingLoad(QStringLiteral("The page did not load within %1 ms.").arg(m_timeout.count()),
                        QStringLiteral("timed out after %1").arg(durationText(m_timeout)));
    });
}

WebBrowser::~WebBrowser()
{
    abandonPendingLoad();
}

QByteArray WebBrowser::userAgent()
{
    return QByteArrayLiteral("Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 "
                             "(KHTML, like Gecko) Chrome/120.0.0.0 Safari/537.36");
}

QByteArray WebBrowser::acceptLanguage()
{
    return QByteArrayLiteral("zh-CN");
}

qint64 WebBrowser::maxBodyBytes()
{
    return kMaxBodyBytes;
}

QUrl WebBrowser::requestUrl(const QString &address)
{
    return QUrl(address.trimmed(), QUrl::TolerantMode);
}

void WebBrowser::setTimeout(std::chrono::milliseconds timeout)
{
    m_timeout = timeout.count() > 0 ? timeout : std::chrono::milliseconds(1);
}

void WebBrowser::setProxyRules(const ProxyRules &rules)
{
    m_proxyRules = rules;
    m_network->setProxyFactory(new ProxyRulesFactory(rules));
}

void WebBrowser::navigate(const QString &address)
{
    ++m_loadId;
    abandonPendingLoad();
    m_end = LoadEnd::Loaded;
    m_problem.clear();

    const QString trimmed = address.trimmed();
    if (trimmed.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0) {
        const QString blank = QStringLiteral("about:blank");
        completeLater(Document::parse(QString(), QUrl(blank)), blank, LoadEnd::Loaded, QString());
        return;
    }

    const QUrl url = requestUrl(address);
    if (!url.isValid() || !isWebScheme(url) || url.host().isEmpty()) {
        const QString reason = QStringLiteral("The address cannot be loaded: %1").arg(address);
        completeLater(Document::parse(errorPageHtml(reason), url), address, LoadEnd::Failed,
                      QStringLiteral("address cannot be loaded (%1)").arg(address.trimmed()));
        return;
    }
    if (!m_proxyRules.problem().isEmpty()) {
        const QString reason = QStringLiteral("The proxy cannot be used: %1").arg(m_proxyRules.problem());
        completeLater(Document::parse(errorPageHtml(reason), url), address, LoadEnd::Failed,
                      QStringLiteral("proxy cannot be used: %1").arg(m_proxyRules.problem()));
        return;
    }

    m_redirects = 0;
    startRequest(url);
    m_deadline.start(m_timeout);
}

// One request of a load. Redirects are followed here rather than inside Qt Network, whose
// own following can end a reply without any answer when servers close their connections
// (Qt 6.4); each hop is a fresh request, and the load's deadline covers them all.
void WebBrowser::startRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader(QByteArrayLiteral("User-Agent"), userAgent());
    request.setRawHeader(QByteArrayLiteral("Accept-Language"), acceptLanguage());
    request.setRawHeader(QByteArrayLiteral("Accept"),
                         QByteArrayLiteral("text/html,application/xhtml+xml,*/*;q=0.8"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);

    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    const quint64 loadId = m_loadId;
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, loadId](qint64 received, qint64 total) {
                if (loadId == m_loadId && (received > kMaxBodyBytes || total > kMaxBodyBytes))
                    failPendingLoad(QStringLiteral("The page is larger than %1 bytes.").arg(kMaxBodyBytes),
                                    QStringLiteral("page larger than %1 bytes").arg(kMaxBodyBytes));
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply, loadId] {
        if (loadId == m_loadId)
            loadFinished(reply);
    });
}

void WebBrowser::abandonPendingLoad()
{
    m_deadline.stop();
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void WebBrowser::loadFinished(QNetworkReply *reply)
{
    if (reply != m_reply.data())
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    const QUrl url = reply->url();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    auto failWith = [&](const QString &reason, const QString &problem) {
        m_deadline.stop();
        complete(Document::parse(errorPageHtml(reason), url), addressText(url), LoadEnd::Failed, problem);
    };

    if (reply->error() != QNetworkReply::NoError && status < 300)
        return failWith(reply->errorString(), problemOf(*reply));
    if (status >= 300 && status < 400 && status != 304) {
        const QUrl location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (!location.isEmpty()) {
            const QUrl next = url.resolved(location);
            if (!isWebScheme(next) || !next.isValid())
                return failWith(QStringLiteral("Redirected to an address that cannot be loaded: %1")
                                    .arg(addressText(next)),
                                QStringLiteral("redirected to an address that cannot be loaded (%1)").arg(addressText(next)));
            if (isVerificationAddress(next)) {
                // The engine wants a person to solve a puzzle: nothing is sent there.
                m_deadline.stop();
                const QString reason =
                    QStringLiteral("The search engine asked for a verification: %1").arg(addressText(next));
                complete(Document::parse(errorPageHtml(reason), next), addressText(next), LoadEnd::Refused,
                         QStringLiteral("the search engine asked for a verification (%1)").arg(next.host()));
                return;
            }
            if (++m_redirects > kMaxRedirects)
                return failWith(QStringLiteral("Too many redirects."),
                                QStringLiteral("more than %1 redirects").arg(kMaxRedirects));
            startRequest(next);
            return;
        }
    }
    if (status >= 400) {
        return failWith(QStringLiteral("HTTP %1 %2").arg(status).arg(
                            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()),
                        status == 407 ? QStringLiteral("proxy authentication required") : QStringLiteral("HTTP %1").arg(status));
    }
    if (reply->error() != QNetworkReply::NoError)
        return failWith(reply->errorString(), problemOf(*reply));
    if (status < 200)
        return failWith(QStringLiteral("The server sent no answer."),
                        QStringLiteral("no answer from %1").arg(hostPort(url.host(), url.port(80))));

    m_deadline.stop();
    const QByteArray bytes = reply->readAll();
    const QString html = decodeHtml(bytes, reply->rawHeader(QByteArrayLiteral("Content-Type")));
    auto document = Document::parse(html, url);
    const LoadEnd end = isVerificationPage(*document) ? LoadEnd::Refused : LoadEnd::Loaded;
    complete(std::move(document), addressText(url), end,
             end == LoadEnd::Refused ? QStringLiteral("the search engine answered with its verification page")
                                     : QString());
}

QString WebBrowser::problemOf(const QNetworkReply &reply) const
{
    const QUrl url = reply.url();
    const QString server = hostPort(url.host(), url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
    const QNetworkProxy proxy = m_proxyRules.proxyFor(url);
    const QString proxyAt = hostPort(proxy.hostName(), proxy.port());
    // Through a proxy, the connection that failed is the one to the proxy.
    if (proxy.type() == QNetworkProxy::HttpProxy || proxy.type() == QNetworkProxy::Socks5Proxy) {
        switch (reply.error()) {
        case QNetworkReply::ConnectionRefusedError: return QStringLiteral("proxy refused the connection (%1)").arg(proxyAt);
        case QNetworkReply::RemoteHostClosedError: return QStringLiteral("proxy closed the connection (%1)").arg(proxyAt);
        case QNetworkReply::HostNotFoundError: return QStringLiteral("proxy not found (%1)").arg(proxy.hostName());
        default: break;
        }
    }
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("connection refused (%1)").arg(server);
    case QNetworkReply::RemoteHostClosedError: return QStringLiteral("connection closed by %1").arg(server);
    case QNetworkReply::HostNotFoundError: return QStringLiteral("host not found (%1)").arg(url.host());
    case QNetworkReply::TimeoutError: return QStringLiteral("timed out (%1)").arg(server);
    case QNetworkReply::SslHandshakeFailedError: return QStringLiteral("TLS handshake failed (%1)").arg(server);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError: return QStringLiteral("network unavailable");
    case QNetworkReply::ProxyConnectionRefusedError: return QStringLiteral("proxy refused the connection (%1)").arg(proxyAt);
    case QNetworkReply::ProxyConnectionClosedError: return QStringLiteral("proxy closed the connection (%1)").arg(proxyAt);
    case QNetworkReply::ProxyNotFoundError: return QStringLiteral("proxy not found (%1)").arg(proxy.hostName());
    case QNetworkReply::ProxyTimeoutError: return QStringLiteral("proxy timed out (%1)").arg(proxyAt);
    case QNetworkReply::ProxyAuthenticationRequiredError: return QStringLiteral("proxy authentication required");
    default: break;
    }
    return reply.errorString().simplified();
}

void WebBrowser::failPendingLoad(const QString &reason, const QString &problem)
{
    if (m_reply.isNull())
        return;
    const QUrl url = m_reply->url();
    abandonPendingLoad();
    complete(Document::parse(errorPageHtml(reason), url), addressText(url), LoadEnd::Failed, problem);
}

void WebBrowser::completeLater(std::shared_ptr<const Document> document, const QString &address,
                               LoadEnd end, const QString &problem)
{
    const quint64 loadId = m_loadId;
    QTimer::singleShot(0, this, [this, loadId, document = std::move(document), address, end, problem] {
        if (loadId == m_loadId)
            complete(document, address, end, problem);
    });
}

void WebBrowser::complete(std::shared_ptr<const Document> document, const QString &address,
                          LoadEnd end, const QString &problem)
{
    m_document = std::move(document);
    m_end = end;
    m_problem = end == LoadEnd::Loaded ? QString() : problem;
    emit documentComplete(topLevelObject(), address);
}

} // namespace korvane
