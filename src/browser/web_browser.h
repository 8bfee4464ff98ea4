#pragma once

#include "browser/browser.h"
#include "browser/proxy_rules.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace korvane {

// The browser the program runs with: loads pages over HTTP(S) with Qt Network, decodes them
// (decodeHtml) and parses them into a Document.
//
// - navigate() returns at once. When the load ends, document() holds the new document and
//   documentComplete(this, address) is raised from the event loop, address being the final
//   address after redirects. "about:blank" completes the same way with an empty document.
// - A load that fails (no connection, refused, reset, HTTP status 400 or above, too many
//   redirects, a body larger than maxBodyBytes(), no answer within the time-out) completes with
//   a small error document, and lastNavigationFailed() is true until the next navigate();
//   lastNavigationProblem() says what happened in one line, from Qt Network's own error.
//   Addresses other than http, https and about:blank fail the same way.
// - A redirect to the search engine's verification pages is not followed: the load completes
//   at once with a small stand-in document, and lastNavigationRefused() is true. A loaded page
//   that is a verification page completes as itself, refused too (verification.h).
// - A navigate() while a load is pending abandons that load: it raises no event.
// - Cookies are kept for as long as the browser lives; redirects are followed up to 10 times.
// - Every request goes through the proxy its ProxyRules name: those of the environment
//   (http_proxy, https_proxy, no_proxy, ...) unless setProxyRules() says otherwise. While the
//   rules have a problem, every web load fails with it: nothing goes around the proxy.
class WebBrowser : public Browser
{
    Q_OBJECT
public:
    explicit WebBrowser(QObject *parent = nullptr);
    ~WebBrowser() override;

    void navigate(const QString &address) override;
    std::shared_ptr<const Document> document() const override { return m_document; }
    bool lastNavigationFailed() const override { return m_end == LoadEnd::Failed; }
    bool lastNavigationRefused() const override { return m_end == LoadEnd::Refused; }
    QString lastNavigationProblem() const override { return m_problem; }

    // The longest a whole load may take, redirects and body included. 30 s unless set.
    void setTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // The proxies of the loads from the next navigate() on.
    void setProxyRules(const ProxyRules &rules);
    const ProxyRules &proxyRules() const { return m_proxyRules; }

    // The request headers every load carries.
    static QByteArray userAgent();
    static QByteArray acceptLanguage();
    // A body larger than this fails the load.
    static qint64 maxBodyBytes();

    // The address text as it goes on the wire: existing %XX escapes kept, spaces and
    // non-ASCII characters percent-encoded as UTF-8, '&' kept.
    static QUrl requestUrl(const QString &address);

private:
    enum class LoadEnd { Loaded, Failed, Refused };

    void startRequest(const QUrl &url);
    void abandonPendingLoad();
    void loadFinished(QNetworkReply *reply);
    void failPendingLoad(const QString &reason, const QString &problem);
    // The one-line problem of a reply that failed.
    QString problemOf(const QNetworkReply &reply) const;
    void completeLater(std::shared_ptr<const Document> document, const QString &address, LoadEnd end,
                       const QString &problem);
    void complete(std::shared_ptr<const Document> document, const QString &address, LoadEnd end,
                  const QString &problem);

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    quint64 m_loadId = 0;
    int m_redirects = 0;
    std::chrono::milliseconds m_timeout{30000};
    ProxyRules m_proxyRules;
    std::shared_ptr<const Document> m_document;
    LoadEnd m_end = LoadEnd::Loaded;
    QString m_problem;
};

// The page shown for a load that failed: an HTML document whose body says the page cannot be
// shown, with `reason` beneath.
QString errorPageHtml(const QString &reason);

} // namespace korvane
