#pragma once

#include "http_test_server.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace korvane::testing {

// What the fake search engine serves for one domain.
struct EngineDomain
{
    enum class PastLast {
        RepeatLast, // pages past the last distinct one repeat it (as the real engine does)
        Empty,      // pages past the last distinct one list no result
    };

    int total = 45;                        // the total the engine shows, and results it serves
    std::optional<QString> totalText;      // page bar's last child text instead of "找到相关结果约N个"
    bool pageBar = true;                   // false: the page has no page bar at all
    int distinctPages = -1;                // pages with their own results; -1: all of them
    PastLast pastLast = PastLast::RepeatLast;
    int sites = 7;                         // the entries are spread over this many linking sites
    bool gb2312 = false;                   // serve GB2312-labelled bytes instead of UTF-8
    std::chrono::milliseconds delay{0};    // answer every page after this wait
    QHash<int, int> httpErrors;            // page index (-1: the query page) -> HTTP status to answer with
    QHash<int, HttpTestServer::Response::Ending> faults; // page index -> cut or stalled answer
    QSet<int> brokenPages;                 // the third entry's address line has no space
    int layout = 2011;                     // page markup of the engine in: 2011, 2015, 2018, 2021, 2026
    bool noResults = false;                // the query page is the engine's "no results" answer
    bool unknownLayout = false;            // every page is a search template this program cannot read

    // How the engine refuses a page when it suspects automated use.
    enum class Refusal {
        CaptchaRedirect, // 302 to this engine's own /static/captcha/tuxing.html?...
        SecurityPage,    // the page titled "百度安全验证"
        AccessErrorPage, // the older GB2312 page titled "百度--您的访问出错了"
    };
    QHash<int, Refusal> refusals; // page index (-1: the query page) -> refused that way

    // Page index -> the answer to send instead of the page, made from the request and the
    // page's markup (redirects, oversized, mislabelled or mangled pages). Refusals and HTTP
    // errors win.
    using PageAnswer = std::function<HttpTestServer::Response(const HttpTestServer::Request &,
                                                              const QString &html)>;
    QHash<int, PageAnswer> customAnswers;
};

// One result entry as the engine lists it.
struct EngineEntry
{
    QString host;
    QString address; // host + path, as the address line shows it (before any truncation)
    QString date;    // as displayed: 2011-12-5, 3小时前, 25分钟前
    QString line;    // the whole markup inside <span class="g">; in the later layouts the
                     // equivalent line of the address the reader takes
    QString shown;   // later layouts: the address line as displayed (a site name, a scheme, a cut)
    QString target;  // later layouts: the block's mu address, empty when it has none
};

// A local stand-in for the search engine and the notice server, on 127.0.0.1. It answers
// "/s?wd=domain%3A<domain>..." (the query page, which is also page 0) and
// "/s?wd=domain%3A<domain>&pn=<offset>..." (results pages) with pages in the engine's markup of
// 2011-2012 (or of a later year, EngineDomain::layout), and "/ad/Korvane.php" with the notice page.
class FakeEngine : public QObject
{
    Q_OBJECT
public:
    explicit FakeEngine(QObject *parent = nullptr);

    bool start(quint16 port = 0);
    void stop() { m_server.stop(); }
    // "http://127.0.0.1:<port>"
    QString origin() const;
    HttpTestServer &server() { return m_server; }

    void setDomain(const QString &domain, const EngineDomain &config);
    // What domains not configured get; at first a total of 0 and no results.
    void setDefaultDomain(const EngineDomain &config);
    // The notice page's body children, one element of markup each; an HTTP status >= 400
    // answers the notice path with that error instead.
    void setNotice(const QStringList &bodyChildren, int status = 200);

    // The entries the engine lists on page `index` for `config`, in page order.
    static QList<EngineEntry> entries(const EngineDomain &config, int index);
    // The results page for `config` as text (before any encoding).
    static QString pageHtml(const EngineDomain &config, int index);
    // The number of distinct results pages.
    static int distinctPageCount(const EngineDomain &config);
    // The engine's answer for a refused page.
    HttpTestServer::Response refusal(EngineDomain::Refusal how) const;

    // Results-page offsets requested so far ("pn" values; the query page counts as -1).
    QList<int> requestedOffsets() const;

private:
    HttpTestServer::Response answer(const HttpTestServer::Request &request) const;

    HttpTestServer m_server;
    QHash<QString, EngineDomain> m_domains;
    EngineDomain m_defaultDomain;
    QStringList m_notice;
    int m_noticeStatus = 200;
};

} // namespace korvane::testing
