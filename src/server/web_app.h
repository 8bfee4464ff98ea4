#pragma once

#include "sessions.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrlQuery>

#include <utility>

namespace korvane {

class HistoryStore;

// One HTTP request as the server library handed it over.
struct HttpRequest
{
    QByteArray method;                     // "GET", "POST", ...
    QString path;                          // percent-decoded
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QString remoteAddress;

    QByteArray header(const QByteArray &lowerName) const { return headers.value(lowerName); }
};

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray &name) const;
};

struct WebSettings
{
    bool secureCookies = false; // TLS, or TLS done by a proxy in front
    bool behindProxy = false;   // the client's address is the last of X-Forwarded-For
};

// The web server's pages and API as one function from a request to a response: no socket,
// no thread. Every route checks the session (pages) or the token (API) first; what a request
// is refused for (no session, wrong form token, a viewer changing something, bad input)
// never reaches the store's writing functions.
class WebApp
{
public:
    // Bodies larger than this are refused with 413.
    static constexpr qsizetype kMaxBody = 1024 * 1024;
    // Requests whose path and headers together are larger than this are refused with 400.
    static constexpr qsizetype kMaxHeaders = 64 * 1024;
    // The sparkline shows this many of a domain's latest analyses.
    static constexpr int kRecentAnalyses = 10;

    WebApp(HistoryStore &store, Clock clock, WebSettings settings = {});

    HttpResponse handle(const HttpRequest &request);

    Sessions &sessions() { return m_sessions; }

private:
    struct Visitor;
    HttpResponse route(const HttpRequest &request);
    HttpResponse api(const HttpRequest &request, const QStringList &segments);
    HttpResponse loginPage(const HttpRequest &request, int status, const QString &message);
    HttpResponse login(const HttpRequest &request);
    HttpResponse logout(const HttpRequest &request, const Visitor &visitor);
    HttpResponse dashboard(const HttpRequest &request, const Visitor &visitor);
    HttpResponse addPage(const Visitor &visitor);
    HttpResponse addDomains(const HttpRequest &request, const Visitor &visitor);
    HttpResponse domainPage(const Visitor &visitor, const QString &domain);
    HttpResponse domainAction(const HttpRequest &request, const Visitor &visitor, const QString &domain,
                              const QString &action);
    HttpResponse analysisPage(const Visitor &visitor, const QString &idText);
    HttpResponse download(const QString &idText, const QString &format);
    HttpResponse diffPage(const HttpRequest &request, const Visitor &visitor);
    HttpResponse queuePage(const Visitor &visitor);
    HttpResponse alertsPage(const Visitor &visitor, int status, const QString &message,
                            const QString &format = QStringLiteral("auto"), const QString &domain = QString());
    HttpResponse addAlertTarget(const HttpRequest &request, const Visitor &visitor);
    HttpResponse removeAlertTarget(const HttpRequest &request, const Visitor &visitor);
    HttpResponse apiAlertTargets(const HttpRequest &request); // a POST from an admin
    HttpResponse storeFailure(const QString &error, bool json);
    HttpResponse page(const Visitor &visitor, int status, const QString &title, const QString &body,
                      bool withScript = false, const QString &head = QString());
    // Whether `domain` is tracked or has an analysis: nullopt when the store failed.
    std::optional<bool> known(const QString &domain);

    HistoryStore &m_store;
    Clock m_clock;
    WebSettings m_settings;
    Sessions m_sessions;
    LoginLimit m_loginLimit;
    // The sites gained and lost between two analyses, which never change once recorded.
    QHash<QString, std::pair<qint64, qint64>> m_changes; // a TrackedDomains::ChangeCache
};

// The Content-Security-Policy of an HTML page: nothing from anywhere, and of what is inline
// only the page's own <style> and <script> elements, by their SHA-256 hashes.
QByteArray contentSecurityPolicy(const QByteArray &html);

} // namespace korvane
