// The web server's routes, sessions, form tokens, login limit, API and headers, driven as
// functions from a request to a response, with a clock of the test's own.

#include "core/texts.h"
#include "export/exporter.h"
#include "fake_view.h"
#include "report/report_writer.h"
#include "server/credentials.h"
#include "site_rows.h"
#include "server/http_front.h"
#include "server/web_app.h"
#include "store/accounts.h"
#include "store/history_store.h"
#include "store/outbox.h"
#include "store/tracked_domains.h"
#include "store/work_queue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace korvane;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

const QString kHostile = QStringLiteral("<script>alert(1)</script>.evil.cn");
const QString kPassword = QStringLiteral("correct horse 9");
// The stored alert target's access token and signing secret: never shown in full.
const QString kWebhookToken = QStringLiteral("tok3n0123456789abcdef0123456789");
const QString kSigningSecret = QStringLiteral("SECsigning0123456789abcdef");

StoredAnalysis analysisOf(const QString &domain, int day, qint64 sites)
{
    StoredAnalysis a;
    a.domain = domain;
    a.engine = QStringLiteral("http://engine.test");
    a.startedAt = QDateTime(QDate(2026, 3, 1 + day), QTime(10, 0), Qt::UTC);
    a.finishedAt = a.startedAt.addSecs(60);
    a.outcome = QStringLiteral("complete");
    a.engineTotal = sites * 3;
    a.sites = sites;
    a.pagesRequested = a.pagesRead = 2;
    a.status = QStringLiteral("分析已完成");
    a.version = QStringLiteral("0.1.0");
    return a;
}

QList<StoredSite> sitesOf(const QStringList &names)
{
    QList<StoredSite> sites;
    for (const QString &name : names)
        sites.append({name, 2, QStringLiteral("2026-2-1"), QStringLiteral("2026-02-01"), QStringLiteral("http://") + name + QStringLiteral("/p")});
    return sites;
}

} // namespace

class TestWebApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void routes_data();
    void routes();
    void longHeaders_data();
    void longHeaders();
    void api_data();
    void api();
    void formToken_data();
    void formToken();
    void loginLimit_data();
    void loginLimit();
    void behindProxy();
    void sessionExpiry();
    void sessionChangesAtLogin();
    void htmlHeaders_data();
    void htmlHeaders();
    void hostileSiteName_data();
    void hostileSiteName();
    void addDomains_data();
    void addDomains();
    void stopTracking_data();
    void stopTracking();
    void downloadsAreTheCliExport_data();
    void downloadsAreTheCliExport();
    void passwordNeverShown();
    void alertSecretsNeverShown_data();
    void alertSecretsNeverShown();
    void overSocket();

private:
    HttpRequest request(const QByteArray &method, const QString &target, const QByteArray &cookie = QByteArray(),
                        const QByteArray &body = QByteArray()) const;
    // Signs in as `user`; the cookie header and the session's form token.
    std::pair<QByteArray, QByteArray> signIn(const QString &user);
    HttpResponse as(const QString &role, const QByteArray &method, const QString &target, QByteArray body = QByteArray(),
                    bool withCsrf = true);
    // What a refused request must leave as it was.
    QString snapshot();

    QTemporaryDir m_dir;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<WebApp> m_app;
    QDateTime m_now;
    qint64 m_analysisId = 0;
    QString m_adminToken, m_viewerToken, m_revokedToken;
};

void TestWebApp::init()
{
    QVERIFY(credentialsReady());
    m_store = std::make_unique<HistoryStore>();
    QVERIFY(m_store->open(m_dir.filePath(QStringLiteral("h%1.sqlite").arg(QDateTime::currentMSecsSinceEpoch())),
                          HistoryStore::Access::ReadWrite));
    Accounts accounts(*m_store);
    const QString hash = hashPassword(kPassword, HashCost::Minimal).value();
    QVERIFY(accounts.addUser(QStringLiteral("ann"), QStringLiteral("admin"), hash).value());
    QVERIFY(accounts.addUser(QStringLiteral("vic"), QStringLiteral("viewer"), hash).value());
    m_adminToken = newApiToken();
    m_viewerToken = newApiToken();
    m_revokedToken = newApiToken();
    QVERIFY(accounts.addToken(QStringLiteral("ann"), tokenHash(m_adminToken)).value());
    QVERIFY(accounts.addToken(QStringLiteral("vic"), tokenHash(m_viewerToken)).value());
    QVERIFY(accounts.revokeToken(accounts.addToken(QStringLiteral("ann"), tokenHash(m_revokedToken)).value().value()).value());
    TrackedDomains tracked(*m_store);
    QVERIFY(tracked.track({QStringLiteral("a.cn")}, 24));
    QVERIFY(m_store->record(analysisOf(QStringLiteral("a.cn"), 0, 1), sitesOf({QStringLiteral("x.cn")})));
    m_analysisId = m_store->record(analysisOf(QStringLiteral("a.cn"), 1, 2), sitesOf({kHostile, QStringLiteral("y.cn")})).value();
    AlertTarget target;
    target.address = QStringLiteral("https://oapi.dingtalk.com/robot/send?access_token=") + kWebhookToken;
    target.format = QStringLiteral("dingtalk");
    target.secret = kSigningSecret;
    QCOMPARE(Outbox(*m_store).addTarget(target), std::optional<qint64>(1));
    m_now = QDateTime(QDate(2026, 4, 1), QTime(12, 0), Qt::UTC);
    m_app = std::make_unique<WebApp>(*m_store, [this] { return m_now; });
}

void TestWebApp::cleanup()
{
    m_app.reset();
    m_store.reset();
}

HttpRequest TestWebApp::request(const QByteArray &method, const QString &target, const QByteArray &cookie,
                                const QByteArray &body) const
{
    const QUrl url(QStringLiteral("http://127.0.0.1") + target);
    HttpRequest r;
    r.method = method;
    r.path = url.path(QUrl::FullyDecoded);
    r.query = QUrlQuery(url);
    r.body = body;
    r.remoteAddress = QStringLiteral("127.0.0.1");
    if (!cookie.isEmpty())
        r.headers.insert("cookie", cookie);
    return r;
}

std::pair<QByteArray, QByteArray> TestWebApp::signIn(const QString &user)
{
    const HttpResponse form = m_app->handle(request("GET", QStringLiteral("/login")));
    const QByteArray loginCookie = form.header("Set-Cookie").split(';').first();
    const QByteArray token = loginCookie.mid(loginCookie.indexOf('=') + 1);
    const HttpResponse done = m_app->handle(request("POST", QStringLiteral("/login"), loginCookie,
                                                    "name=" + user.toUtf8() + "&password=" + QUrl::toPercentEncoding(kPassword) + "&csrf=" + token));
    if (done.status != 303)
        return {};
    const QByteArray session = done.header("Set-Cookie").split(';').first();
    const HttpResponse home = m_app->handle(request("GET", QStringLiteral("/"), session));
    const QRegularExpressionMatch csrf = QRegularExpression(QStringLiteral("name=\"csrf\" value=\"([0-9a-f]+)\"")).match(QString::fromUtf8(home.body));
    return {session, csrf.captured(1).toLatin1()};
}

HttpResponse TestWebApp::as(const QString &role, const QByteArray &method, const QString &target, QByteArray body, bool withCsrf)
{
    QByteArray cookie;
    if (role != QLatin1String("none")) {
        const auto [session, csrf] = signIn(role == QLatin1String("admin") ? QStringLiteral("ann") : QStringLiteral("vic"));
        cookie = session;
        if (method == "POST" && withCsrf)
            body += (body.isEmpty() ? "" : "&") + QByteArray("csrf=") + csrf;
    }
    return m_app->handle(request(method, target, cookie, body));
}

QString TestWebApp::snapshot()
{
    TrackedDomains tracked(*m_store);
    WorkQueue queue(*m_store);
    QString text;
    const QList<TrackedDomains::Tracked> list = tracked.list().value();
    for (const auto &t : list)
        text += t.domain + QString::number(t.intervalHours) + storedTime(t.nextRun) + QLatin1Char(';');
    const auto counts = queue.counts(m_now).value();
    text += QStringLiteral("q%1/%2;").arg(counts.waiting).arg(counts.working);
    text += QString::number(m_store->analyses(QStringLiteral("a.cn"))->size());
    const QList<AlertTarget> targets = Outbox(*m_store).targets().value();
    for (const AlertTarget &t : targets)
        text += QStringLiteral(";%1 %2 %3 %4 %5").arg(t.id).arg(t.domain, t.address, t.format, t.secret);
    return text;
}

void TestWebApp::routes_data()
{
    QTest::addColumn<QString>("role");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    const QString id = QStringLiteral("%1");
    const struct
    {
        const char *name;
        const char *method;
        QString target;
        QByteArray body;
        int none, viewer, admin;
    } rows[] = {
        {"dashboard", "GET", QStringLiteral("/"), {}, 303, 200, 200},
        {"dashboard sorted, filtered", "GET", QStringLiteral("/?sort=sites&dir=desc&q=a"), {}, 303, 200, 200},
        {"login page", "GET", QStringLiteral("/login"), {}, 200, 200, 200},
        {"domain page", "GET", QStringLiteral("/domains/a.cn"), {}, 303, 200, 200},
        {"unknown domain", "GET", QStringLiteral("/domains/nothing.cn"), {}, 303, 404, 404},
        {"not a domain", "GET", QStringLiteral("/domains/a..cn"), {}, 303, 404, 404},
        {"climbing path", "GET", QStringLiteral("/domains/../queue"), {}, 400, 400, 400},
        {"analysis page", "GET", QStringLiteral("/analyses/") + id, {}, 303, 200, 200},
        {"unknown analysis", "GET", QStringLiteral("/analyses/999999"), {}, 303, 404, 404},
        {"non-numeric analysis", "GET", QStringLiteral("/analyses/12x"), {}, 303, 400, 400},
        {"CSV download", "GET", QStringLiteral("/analyses/") + id + QStringLiteral("/csv"), {}, 303, 200, 200},
        {"JSON download", "GET", QStringLiteral("/analyses/") + id + QStringLiteral("/json"), {}, 303, 200, 200},
        {"HTML download", "GET", QStringLiteral("/analyses/") + id + QStringLiteral("/html"), {}, 303, 200, 200},
        {"unknown download", "GET", QStringLiteral("/analyses/") + id + QStringLiteral("/xls"), {}, 303, 404, 404},
        {"diff", "GET", QStringLiteral("/diff?domain=a.cn"), {}, 303, 200, 200},
        {"diff without domain", "GET", QStringLiteral("/diff"), {}, 303, 400, 400},
        {"diff with a bad id", "GET", QStringLiteral("/diff?domain=a.cn&from=x"), {}, 303, 400, 400},
        {"queue", "GET", QStringLiteral("/queue"), {}, 303, 200, 200},
        {"add form", "GET", QStringLiteral("/domains/add"), {}, 303, 403, 200},
        {"add", "POST", QStringLiteral("/domains/add"), "domains=b.cn", 303, 403, 200},
        {"analyse now", "POST", QStringLiteral("/domains/a.cn/analyse"), {}, 303, 403, 303},
        {"schedule", "POST", QStringLiteral("/domains/a.cn/schedule"), "interval_hours=6", 303, 403, 303},
        {"bad schedule", "POST", QStringLiteral("/domains/a.cn/schedule"), "interval_hours=-1", 303, 403, 400},
        {"stop tracking", "POST", QStringLiteral("/domains/a.cn/untrack"), {}, 303, 403, 303},
        {"action on unknown domain", "POST", QStringLiteral("/domains/nothing.cn/analyse"), {}, 303, 403, 404},
        {"GET of an action", "GET", QStringLiteral("/domains/a.cn/analyse"), {}, 303, 405, 405},
        {"DELETE of the dashboard", "DELETE", QStringLiteral("/"), {}, 303, 405, 405},
        {"unknown page", "GET", QStringLiteral("/nothing"), {}, 303, 404, 404},
        {"alert settings", "GET", QStringLiteral("/settings/alerts"), {}, 303, 200, 200},
        {"add an alert target", "POST", QStringLiteral("/settings/alerts"), "address=https%3A%2F%2Fhooks.slack.com%2Fservices%2FT1%2FB2%2Fxyz0123456789xyz0123&domain=a.cn", 303, 403, 200},
        {"add a mail target", "POST", QStringLiteral("/settings/alerts"), "address=seo%40example.com", 303, 403, 200},
        {"add a target that is no URL", "POST", QStringLiteral("/settings/alerts"), "address=ftp%3A%2F%2Fx.cn%2Fh", 303, 403, 422},
        {"add a target of an unknown format", "POST", QStringLiteral("/settings/alerts"), "address=https%3A%2F%2Fx.cn%2Fh&format=xml", 303, 403, 422},
        {"add a secret that signs nothing", "POST", QStringLiteral("/settings/alerts"), "address=https%3A%2F%2Fx.cn%2Fh&secret=abc", 303, 403, 422},
        {"add a target for an invalid domain", "POST", QStringLiteral("/settings/alerts"), "address=https%3A%2F%2Fx.cn%2Fh&domain=x%20y", 303, 403, 422},
        {"remove an alert target", "POST", QStringLiteral("/settings/alerts/remove"), "id=1", 303, 403, 200},
        {"remove an unknown alert target", "POST", QStringLiteral("/settings/alerts/remove"), "id=999", 303, 403, 404},
        {"GET of the removal", "GET", QStringLiteral("/settings/alerts/remove"), {}, 303, 405, 405},
        {"oversized body", "POST", QStringLiteral("/domains/add"), QByteArray(WebApp::kMaxBody + 1, 'a'), 413, 413, 413},
    };
    for (const auto &row : rows) {
        const QString target = row.target.contains(QLatin1String("%1")) ? row.target.arg(1) : row.target;
        QTest::addRow("%s, no session", row.name) << QStringLiteral("none") << QByteArray(row.method) << target << row.body << row.none;
        QTest::addRow("%s, viewer", row.name) << QStringLiteral("viewer") << QByteArray(row.method) << target << row.body << row.viewer;
        QTest::addRow("%s, admin", row.name) << QStringLiteral("admin") << QByteArray(row.method) << target << row.body << row.admin;
    }
}

void TestWebApp::routes()
{
    QFETCH(QString, role);
    QFETCH(QByteArray, method);
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    target.replace(QStringLiteral("/analyses/1"), QStringLiteral("/analyses/") + QString::number(m_analysisId));
    const QString before = snapshot();
    const HttpResponse response = as(role, method, target, body);
    QCOMPARE(response.status, status);
    if (status == 303 && role == QLatin1String("none"))
        QCOMPARE(response.header("Location"), QByteArray("/login"));
    if (status >= 400 || role == QLatin1String("none"))
        QCOMPARE(snapshot(), before);
    else if (method == "POST")
        QVERIFY(snapshot() != before);
}

void TestWebApp::api_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    const QString admin = QStringLiteral("admin"), viewer = QStringLiteral("viewer");
    QTest::newRow("no token") << QString() << QByteArray("GET") << QStringLiteral("/api/v1/domains") << QByteArray() << 401;
    QTest::newRow("a revoked token") << QStringLiteral("revoked") << QByteArray("GET") << QStringLiteral("/api/v1/domains") << QByteArray() << 401;
    QTest::newRow("a made-up token") << QStringLiteral("kv_00") << QByteArray("GET") << QStringLiteral("/api/v1/queue") << QByteArray() << 401;
    QTest::newRow("openapi without token") << QString() << QByteArray("GET") << QStringLiteral("/api/v1/openapi.json") << QByteArray() << 401;
    QTest::newRow("domains") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/domains") << QByteArray() << 200;
    QTest::newRow("add, viewer") << viewer << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(R"({"domains":["b.cn"]})") << 403;
    QTest::newRow("add") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(R"({"domains":["b.cn","b.cn"],"interval_hours":6})") << 201;
    QTest::newRow("add, an invalid one") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(R"({"domains":["b.cn","x y"]})") << 422;
    QTest::newRow("add, an invalid one skipped") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(R"({"domains":["b.cn","x y"],"skip_invalid":true})") << 201;
    QTest::newRow("add, not JSON") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray("{domains") << 400;
    QTest::newRow("add, bad interval") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(R"({"domains":["b.cn"],"interval_hours":1.5})") << 400;
    QTest::newRow("add, 1 MiB + 1") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(WebApp::kMaxBody + 1, ' ') << 413;
    QTest::newRow("add, 1 MiB of blanks is read") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains") << QByteArray(WebApp::kMaxBody, ' ') << 400;
    QTest::newRow("delete domains") << admin << QByteArray("DELETE") << QStringLiteral("/api/v1/domains") << QByteArray() << 405;
    QTest::newRow("analyses of a domain") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/domains/a.cn/analyses") << QByteArray() << 200;
    QTest::newRow("analyses of an unknown domain") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/domains/zz.cn/analyses") << QByteArray() << 404;
    QTest::newRow("one analysis") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/analyses/ID") << QByteArray() << 200;
    QTest::newRow("unknown analysis") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/analyses/424242") << QByteArray() << 404;
    QTest::newRow("non-numeric analysis") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/analyses/abc") << QByteArray() << 400;
    QTest::newRow("analyse, viewer") << viewer << QByteArray("POST") << QStringLiteral("/api/v1/domains/a.cn/analyse") << QByteArray() << 403;
    QTest::newRow("analyse") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains/a.cn/analyse") << QByteArray() << 202;
    QTest::newRow("analyse unknown") << admin << QByteArray("POST") << QStringLiteral("/api/v1/domains/zz.cn/analyse") << QByteArray() << 404;
    QTest::newRow("diff") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/diff?domain=a.cn") << QByteArray() << 200;
    QTest::newRow("diff to the first: none before it") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/diff?domain=a.cn&to=ID1") << QByteArray() << 422;
    QTest::newRow("diff to an unknown id") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/diff?domain=a.cn&from=ID1&to=424242") << QByteArray() << 404;
    QTest::newRow("diff without domain") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/diff") << QByteArray() << 400;
    QTest::newRow("queue") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/queue") << QByteArray() << 200;
    QTest::newRow("openapi") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/openapi.json") << QByteArray() << 200;
    QTest::newRow("unknown route") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/nothing") << QByteArray() << 404;
    QTest::newRow("climbing path") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/domains/../queue") << QByteArray() << 400;
    QTest::newRow("alert targets") << viewer << QByteArray("GET") << QStringLiteral("/api/v1/alerts/targets") << QByteArray() << 200;
    QTest::newRow("alert targets without token") << QString() << QByteArray("GET") << QStringLiteral("/api/v1/alerts/targets") << QByteArray() << 401;
    QTest::newRow("add an alert target, viewer") << viewer << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << QByteArray(R"({"address":"https://x.cn/h"})") << 403;
    QTest::newRow("add an alert target, no token") << QString() << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << QByteArray(R"({"address":"https://x.cn/h"})") << 401;
    QTest::newRow("add an alert target") << admin << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets")
                                         << QByteArray(R"({"address":"https://open.feishu.cn/open-apis/bot/v2/hook/0123456789abcdef0123","secret":"feishu-secret-0123","domain":"a.cn"})") << 201;
    QTest::newRow("add an alert target, not a URL") << admin << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << QByteArray(R"({"address":"x.cn/h"})") << 422;
    QTest::newRow("add an alert target, unknown format") << admin << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << QByteArray(R"({"address":"https://x.cn/h","format":"xml"})") << 422;
    QTest::newRow("add an alert target, address not a string") << admin << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << QByteArray(R"({"address":1})") << 400;
    QTest::newRow("delete alert targets") << admin << QByteArray("DELETE") << QStringLiteral("/api/v1/alerts/targets") << QByteArray() << 405;
}

void TestWebApp::longHeaders_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("status");
    QTest::newRow("page, 60 KiB of headers") << QStringLiteral("/login") << 60 * 1024 << 200;
    QTest::newRow("page, 65 KiB of headers") << QStringLiteral("/login") << 65 * 1024 << 400;
    QTest::newRow("API, 65 KiB of headers") << QStringLiteral("/api/v1/queue") << 65 * 1024 << 400;
}

void TestWebApp::longHeaders()
{
    QFETCH(QString, target);
    QFETCH(int, size);
    QFETCH(int, status);
    HttpRequest r = request("GET", target);
    r.headers.insert("x-long", QByteArray(size, 'a'));
    QCOMPARE(m_app->handle(r).status, status);
}

void TestWebApp::api()
{
    QFETCH(QString, token);
    QFETCH(QByteArray, method);
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    target.replace(QStringLiteral("ID1"), QString::number(m_analysisId - 1)).replace(QStringLiteral("ID"), QString::number(m_analysisId));
    HttpRequest r = request(method, target, QByteArray(), body);
    const QString value = token == QLatin1String("admin") ? m_adminToken
        : token == QLatin1String("viewer")                ? m_viewerToken
        : token == QLatin1String("revoked")               ? m_revokedToken
                                                          : token;
    if (!value.isEmpty())
        r.headers.insert("authorization", "Bearer " + value.toLatin1());
    const QString before = snapshot();
    const HttpResponse response = m_app->handle(r);
    QCOMPARE(response.status, status);
    QVERIFY(response.contentType.startsWith("application/json"));
    const QJsonDocument json = QJsonDocument::fromJson(response.body);
    QVERIFY(!json.isNull());
    if (status >= 400) {
        QVERIFY(json.object().value(QStringLiteral("error")).isString());
        QCOMPARE(snapshot(), before);
    }
    if (status == 422 && target.endsWith(QLatin1String("/domains")))
        QCOMPARE(json.object().value(QStringLiteral("lines")).toArray().first().toObject().value(QStringLiteral("line")).toInt(), 2);
    if (status == 201 && target.endsWith(QLatin1String("/domains")))
        QCOMPARE(json.object().value(QStringLiteral("added")).toArray(), QJsonArray{QStringLiteral("b.cn")});
    if (status == 201 && target.endsWith(QLatin1String("/alerts/targets"))) {
        // Stored in full, answered masked.
        QCOMPARE(json.object().value(QStringLiteral("secret")).toString(), QStringLiteral("feis****"));
        QCOMPARE(Outbox(*m_store).targets(QStringLiteral("a.cn")).value().constLast().secret, QStringLiteral("feishu-secret-0123"));
    }
    if (target.endsWith(QLatin1String("/openapi.json")) && status == 200)
        QVERIFY(json.object().value(QStringLiteral("paths")).toObject().contains(QStringLiteral("/alerts/targets")));
    if (target.contains(QLatin1String("/analyses/")) && status == 200) {
        // The CLI's record, with the store's id.
        const QJsonObject record = json.object();
        QCOMPARE(record.value(QStringLiteral("id")).toInteger(), m_analysisId);
        QCOMPARE(record.value(QStringLiteral("outcome")).toString(), QStringLiteral("complete"));
        QCOMPARE(record.value(QStringLiteral("rows")).toArray().first().toObject().value(QStringLiteral("site")).toString(), kHostile);
    }
}

void TestWebApp::formToken_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("add domains") << QStringLiteral("/domains/add") << QByteArray("domains=b.cn");
    QTest::newRow("add an alert target") << QStringLiteral("/settings/alerts") << QByteArray("address=https%3A%2F%2Fx.cn%2Fh");
    QTest::newRow("remove an alert target") << QStringLiteral("/settings/alerts/remove") << QByteArray("id=1");
}

void TestWebApp::formToken()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    const auto [session, csrf] = signIn(QStringLiteral("ann"));
    QVERIFY(!csrf.isEmpty());
    const QString before = snapshot();
    QByteArray altered = csrf;
    altered[0] = altered.at(0) == '0' ? '1' : '0';
    const QList<QByteArray> bodies = {body, body + "&csrf=", body + "&csrf=" + altered};
    for (const QByteArray &refusedBody : bodies) {
        const HttpResponse refused = m_app->handle(request("POST", target, session, refusedBody));
        QCOMPARE(refused.status, 403);
        QCOMPARE(snapshot(), before);
    }
    // A viewer's POST, with its own form token, changes nothing either.
    const auto viewer = signIn(QStringLiteral("vic"));
    QCOMPARE(m_app->handle(request("POST", target, viewer.first, body + "&csrf=" + viewer.second)).status, 403);
    QCOMPARE(snapshot(), before);
    // Another session's token is refused too; its own is taken.
    const auto other = signIn(QStringLiteral("ann"));
    QCOMPARE(m_app->handle(request("POST", target, session, body + "&csrf=" + other.second)).status, 403);
    QCOMPARE(m_app->handle(request("POST", target, session, body + "&csrf=" + csrf)).status, 200);
    QVERIFY(snapshot() != before);
    // Signing in needs the login form's token.
    QCOMPARE(m_app->handle(request("POST", QStringLiteral("/login"), QByteArray(), "name=ann&password=" + QUrl::toPercentEncoding(kPassword))).status, 403);
}

void TestWebApp::loginLimit_data()
{
    QTest::addColumn<bool>("sameName");
    QTest::addColumn<bool>("sameAddress");
    QTest::newRow("one name from many addresses") << true << false;
    QTest::newRow("many names from one address") << false << true;
}

void TestWebApp::loginLimit()
{
    QFETCH(bool, sameName);
    QFETCH(bool, sameAddress);
    const auto attempt = [&](int i, const QString &name, const QString &password) {
        const HttpResponse form = m_app->handle(request("GET", QStringLiteral("/login")));
        const QByteArray loginCookie = form.header("Set-Cookie").split(';').first();
        HttpRequest r = request("POST", QStringLiteral("/login"), loginCookie,
                                "name=" + name.toUtf8() + "&password=" + QUrl::toPercentEncoding(password) + "&csrf="
                                    + loginCookie.mid(loginCookie.indexOf('=') + 1));
        r.remoteAddress = sameAddress ? QStringLiteral("10.0.0.1") : QStringLiteral("10.0.1.%1").arg(i);
        return m_app->handle(r).status;
    };
    const auto wrongName = [&](int i) { return sameName ? QStringLiteral("vic") : QStringLiteral("ghost%1").arg(i); };
    // Four failures: the right password still signs in. The fifth blocks, the right password too.
    for (int i = 0; i < 4; ++i)
        QCOMPARE(attempt(i, wrongName(i), QStringLiteral("wrong-password")), 401);
    QCOMPARE(attempt(50, sameName ? QStringLiteral("vic") : QStringLiteral("ann"), kPassword), 303);
    QCOMPARE(attempt(4, wrongName(4), QStringLiteral("wrong-password")), 401);
    m_now = m_now.addSecs(1);
    QCOMPARE(attempt(51, sameName ? QStringLiteral("vic") : QStringLiteral("ann"), kPassword), 429);
    QCOMPARE(attempt(5, wrongName(5), kPassword), 429);
    // Still blocked just before ten minutes have passed, free after.
    m_now = m_now.addSecs(LoginLimit::kBlockSeconds - 2);
    QCOMPARE(attempt(6, QStringLiteral("vic"), kPassword), 429);
    m_now = m_now.addSecs(2);
    QCOMPARE(attempt(7, QStringLiteral("vic"), kPassword), 303);
    // Failures more than ten minutes apart do not add up.
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(attempt(10 + i, wrongName(10 + i), QStringLiteral("wrong-password")), 401);
        m_now = m_now.addSecs(LoginLimit::kWindowSeconds / 4 + 1);
    }
}

void TestWebApp::behindProxy()
{
    // Behind a proxy every request comes from its address: the client's is the last of
    // X-Forwarded-For, and the cookies are Secure.
    WebApp app(*m_store, [this] { return m_now; }, WebSettings{true, true});
    const auto attempt = [&](const QByteArray &client, const QString &name, const QString &password) {
        const HttpResponse form = app.handle(request("GET", QStringLiteral("/login")));
        const QByteArray loginCookie = form.header("Set-Cookie").split(';').first();
        HttpRequest r = request("POST", QStringLiteral("/login"), loginCookie,
                                "name=" + name.toUtf8() + "&password=" + QUrl::toPercentEncoding(password) + "&csrf="
                                    + loginCookie.mid(loginCookie.indexOf('=') + 1));
        r.headers.insert("x-forwarded-for", "203.0.113.1, " + client);
        return app.handle(r);
    };
    for (int i = 0; i < LoginLimit::kFailures; ++i)
        QCOMPARE(attempt("198.51.100.7", QStringLiteral("ghost%1").arg(i), QStringLiteral("wrong-password")).status, 401);
    QCOMPARE(attempt("198.51.100.7", QStringLiteral("ann"), kPassword).status, 429);
    const HttpResponse other = attempt("198.51.100.8", QStringLiteral("ann"), kPassword);
    QCOMPARE(other.status, 303);
    QVERIFY(other.header("Set-Cookie").endsWith("; Secure"));
}

void TestWebApp::sessionExpiry()
{
    const auto [session, csrf] = signIn(QStringLiteral("vic"));
    m_now = m_now.addSecs(Sessions::kIdleSeconds);
    QCOMPARE(m_app->handle(request("GET", QStringLiteral("/"), session)).status, 200); // and the idle time starts again
    m_now = m_now.addSecs(Sessions::kIdleSeconds);
    QCOMPARE(m_app->handle(request("GET", QStringLiteral("/queue"), session)).status, 200);
    m_now = m_now.addSecs(Sessions::kIdleSeconds + 1);
    const HttpResponse expired = m_app->handle(request("GET", QStringLiteral("/"), session));
    QCOMPARE(expired.status, 303);
    QCOMPARE(expired.header("Location"), QByteArray("/login"));
}

void TestWebApp::sessionChangesAtLogin()
{
    const auto first = signIn(QStringLiteral("ann"));
    const auto second = signIn(QStringLiteral("ann"));
    QVERIFY(!first.first.isEmpty() && first.first != second.first);
    QVERIFY(first.first.size() >= int(QByteArray("korvane_session=").size()) + 32);
    // The cookie's attributes.
    const HttpResponse form = m_app->handle(request("GET", QStringLiteral("/login")));
    const QByteArray loginCookie = form.header("Set-Cookie").split(';').first();
    const HttpResponse done = m_app->handle(request("POST", QStringLiteral("/login"), first.first + "; " + loginCookie,
                                                    "name=ann&password=" + QUrl::toPercentEncoding(kPassword) + "&csrf=" + loginCookie.mid(loginCookie.indexOf('=') + 1)));
    const QByteArray setCookie = done.header("Set-Cookie");
    for (const char *attribute : {"HttpOnly", "SameSite=Strict", "Path=/"})
        QVERIFY2(setCookie.contains(attribute), setCookie.constData());
    QVERIFY(!setCookie.contains("Secure"));
    // The session signed in with is ended by the new sign-in; logout ends the new one.
    QCOMPARE(m_app->handle(request("GET", QStringLiteral("/"), first.first)).status, 303);
    const QByteArray session = setCookie.split(';').first();
    const HttpResponse home = m_app->handle(request("GET", QStringLiteral("/"), session));
    const QByteArray csrf = QRegularExpression(QStringLiteral("name=\"csrf\" value=\"([0-9a-f]+)\"")).match(QString::fromUtf8(home.body)).captured(1).toLatin1();
    QCOMPARE(m_app->handle(request("POST", QStringLiteral("/logout"), session, "csrf=" + csrf)).status, 303);
    QCOMPARE(m_app->handle(request("GET", QStringLiteral("/"), session)).status, 303);
}

void TestWebApp::htmlHeaders_data()
{
    QTest::addColumn<QString>("target");
    for (const char *target : {"/", "/login", "/domains/a.cn", "/analyses/ID", "/analyses/ID/html", "/diff?domain=a.cn",
                               "/queue", "/domains/add", "/settings/alerts", "/nothing"})
        QTest::newRow(target) << QString::fromLatin1(target);
}

void TestWebApp::htmlHeaders()
{
    QFETCH(QString, target);
    target.replace(QStringLiteral("ID"), QString::number(m_analysisId));
    const HttpResponse response = as(QStringLiteral("admin"), "GET", target);
    QVERIFY(response.contentType.startsWith("text/html"));
    const QByteArray csp = response.header("Content-Security-Policy");
    QVERIFY2(csp.startsWith("default-src 'none'"), csp.constData());
    QVERIFY(!csp.contains("unsafe-inline") && !csp.contains("http"));
    // Every inline style and script of the page is allowed by its hash, and nothing else.
    const QByteArray style = response.body.mid(response.body.indexOf("<style>") + 7);
    const QByteArray styleHash = QCryptographicHash::hash(style.left(style.indexOf("</style>")), QCryptographicHash::Sha256).toBase64();
    QVERIFY(csp.contains(styleHash));
    QCOMPARE(response.header("X-Content-Type-Options"), QByteArray("nosniff"));
    QCOMPARE(response.header("X-Frame-Options"), QByteArray("DENY"));
    QCOMPARE(response.header("Referrer-Policy"), QByteArray("no-referrer"));
    QCOMPARE(response.header("Cache-Control"), QByteArray("no-store"));
    // Nothing loads from outside.
    QVERIFY(!QRegularExpression(QStringLiteral("(src|href)=\"(https?:)?//")).match(QString::fromUtf8(response.body)).hasMatch());
}

void TestWebApp::hostileSiteName_data()
{
    QTest::addColumn<QString>("target");
    for (const char *target : {"/", "/domains/a.cn", "/analyses/ID", "/diff?domain=a.cn&from=ID1&to=ID", "/queue"})
        QTest::newRow(target) << QString::fromLatin1(target);
}

void TestWebApp::hostileSiteName()
{
    QFETCH(QString, target);
    // The hostile name as a tracked domain's neighbour in the queue too.
    QVERIFY(WorkQueue(*m_store).add({QStringLiteral("a.cn")}));
    target.replace(QStringLiteral("ID1"), QString::number(m_analysisId - 1)).replace(QStringLiteral("ID"), QString::number(m_analysisId));
    const HttpResponse response = as(QStringLiteral("admin"), "GET", target);
    QCOMPARE(response.status, 200);
    QVERIFY(!response.body.contains("<script>alert"));
    if (target != QLatin1String("/") && target != QLatin1String("/queue"))
        QVERIFY(response.body.contains("&lt;script&gt;alert(1)&lt;/script&gt;.evil.cn"));
}

void TestWebApp::addDomains_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("tracked");
    QTest::newRow("two, one twice") << QByteArray("b.cn\nc.cn\nb.cn\n") << false << 200 << QStringList{QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")};
    QTest::newRow("an invalid line: nothing added") << QByteArray("b.cn\nno domain\n") << false << 422 << QStringList{QStringLiteral("a.cn")};
    QTest::newRow("an invalid line skipped") << QByteArray("b.cn\nno domain\n") << true << 200 << QStringList{QStringLiteral("a.cn"), QStringLiteral("b.cn")};
    QTest::newRow("one tracked already keeps its history") << QByteArray("a.cn\n") << false << 200 << QStringList{QStringLiteral("a.cn")};
}

void TestWebApp::addDomains()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, skip);
    QFETCH(int, status);
    QFETCH(QStringList, tracked);
    const HttpResponse response = as(QStringLiteral("admin"), "POST", QStringLiteral("/domains/add"),
                                     "domains=" + QUrl::toPercentEncoding(QString::fromUtf8(text)) + (skip ? "&skip_invalid=1" : ""));
    QCOMPARE(response.status, status);
    if (status == 422)
        QVERIFY(QString::fromUtf8(response.body).contains(QStringLiteral("第 2 行")));
    QStringList names;
    const QList<TrackedDomains::Tracked> list = TrackedDomains(*m_store).list().value();
    for (const auto &t : list)
        names.append(t.domain);
    QCOMPARE(names, tracked);
    QCOMPARE(m_store->analyses(QStringLiteral("a.cn"))->size(), 2);
    // New domains are queued at once.
    QCOMPARE(WorkQueue(*m_store).counts(m_now)->waiting, qint64(status == 200 ? tracked.size() - 1 : 0));
}

void TestWebApp::stopTracking_data()
{
    QTest::addColumn<QByteArray>("form");
    QTest::addColumn<int>("analysesLeft");
    QTest::newRow("history kept") << QByteArray() << 2;
    QTest::newRow("dropping asked, not confirmed: kept") << QByteArray("drop_history=1") << 2;
    QTest::newRow("confirmed without asking: kept") << QByteArray("confirm=1") << 2;
    QTest::newRow("dropping asked and confirmed") << QByteArray("drop_history=1&confirm=1") << 0;
}

void TestWebApp::stopTracking()
{
    QFETCH(QByteArray, form);
    QFETCH(int, analysesLeft);
    QCOMPARE(as(QStringLiteral("admin"), "POST", QStringLiteral("/domains/a.cn/untrack"), form).status, 303);
    QVERIFY(TrackedDomains(*m_store).list()->isEmpty());
    QCOMPARE(m_store->analyses(QStringLiteral("a.cn"))->size(), analysesLeft);
    // A domain no longer tracked keeps its page while it has a history.
    QCOMPARE(as(QStringLiteral("viewer"), "GET", QStringLiteral("/domains/a.cn")).status, analysesLeft > 0 ? 200 : 404);
}

void TestWebApp::downloadsAreTheCliExport_data()
{
    QTest::addColumn<std::optional<double>>("total");
    QTest::addColumn<QString>("done");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("reason");
    QTest::newRow("complete") << std::optional<double>(120) << QString() << false << QString();
    QTest::newRow("page error") << std::optional<double>(120) << texts::pageErrorMessage() << false << QString();
    QTest::newRow("page error with its reason") << std::optional<double>(120) << texts::pageErrorMessage() << false
                                                << QStringLiteral("第3页: connection refused (127.0.0.1:9)");
    QTest::newRow("refused") << std::optional<double>(120) << texts::refusalMessage() << false << QString();
    QTest::newRow("no total read") << std::optional<double>() << QString() << false << QString();
    QTest::newRow("stopped without a report") << std::optional<double>(120) << QString() << true << QString();
}

void TestWebApp::downloadsAreTheCliExport()
{
    QFETCH(std::optional<double>, total);
    QFETCH(QString, done);
    QFETCH(bool, stopped);
    QFETCH(QString, reason);
    // An analysis as korvane-cli hands it to the store, with relative dates and a hostile name.
    FinishedAnalysis a;
    a.domain = QStringLiteral("a.cn");
    a.engine = QStringLiteral("http://127.0.0.1:8080");
    a.startedAt = QDateTime(QDate(2026, 3, 9), QTime(8, 0));
    a.finishedAt = a.startedAt.addSecs(42);
    a.pagesRequested = 5;
    a.pagesRead = 4;
    AnalysisRecord &r = a.record;
    r.State = texts::stateAnaing();
    r.TotalResults = total;
    r.TotalMissing = !total;
    r.PageCount = total.value_or(0) / 10;
    r.DoneMessage = done;
    r.FailureReason = reason;
    testing::addSites(r, {{QStringLiteral("www.a.com"), 3, QStringLiteral("2011-7-9"), QStringLiteral("www.a.com/1.html")},
                          {kHostile, 1, QStringLiteral("3小时前"), QStringLiteral("x/\"<b>")},
                          {QStringLiteral("d.cn"), 7, QStringLiteral("昨天"), QStringLiteral("d.cn/")}});
    testing::FakeView view;
    view.domain = a.domain;
    if (!stopped)
        WriteReport(r, view);
    a.status = stopped ? texts::statusAnaing() : view.status;
    a.report = view.result;
    const qint64 id = m_store->record(a).value();
    for (const ExportFormat format : {ExportFormat::Csv, ExportFormat::Json, ExportFormat::Html}) {
        const QString name = format == ExportFormat::Csv ? QStringLiteral("csv") : format == ExportFormat::Json ? QStringLiteral("json") : QStringLiteral("html");
        const HttpResponse response = as(QStringLiteral("viewer"), "GET", QStringLiteral("/analyses/%1/%2").arg(id).arg(name));
        QCOMPARE(response.status, 200);
        QVERIFY(response.header("Content-Disposition").startsWith("attachment; filename=\"a.cn-"));
        QCOMPARE(QString::fromUtf8(response.body), QString::fromUtf8(exportDocument(a, ExportOptions{format, true})));
    }
    // The API's records tell the same failure: the analysis, the domain's list (newest first)
    // and the domain's latest.
    const auto api = [this](const QString &target) {
        HttpRequest r = request("GET", target);
        r.headers.insert("authorization", "Bearer " + m_viewerToken.toLatin1());
        return QJsonDocument::fromJson(m_app->handle(r).body);
    };
    const QJsonValue failure = exportJson(a).value(QStringLiteral("failure"));
    QCOMPARE(api(QStringLiteral("/api/v1/analyses/%1").arg(id)).object().value(QStringLiteral("failure")), failure);
    QCOMPARE(api(QStringLiteral("/api/v1/domains/a.cn/analyses")).array().first().toObject().value(QStringLiteral("failure")), failure);
    QCOMPARE(api(QStringLiteral("/api/v1/domains")).array().first().toObject().value(QStringLiteral("latest")).toObject().value(QStringLiteral("failure")),
             failure);
}

void TestWebApp::passwordNeverShown()
{
    QStringList logged;
    static QStringList *sink = nullptr;
    sink = &logged;
    const auto previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) { sink->append(text); });
    const QString wrong = QStringLiteral("Wr0ng-secret-xyz");
    const HttpResponse form = m_app->handle(request("GET", QStringLiteral("/login")));
    const QByteArray loginCookie = form.header("Set-Cookie").split(';').first();
    QList<HttpResponse> responses;
    for (const QString &password : {wrong, kPassword})
        responses.append(m_app->handle(request("POST", QStringLiteral("/login"), loginCookie,
                                               "name=ann&password=" + QUrl::toPercentEncoding(password) + "&csrf=" + loginCookie.mid(loginCookie.indexOf('=') + 1))));
    qInstallMessageHandler(previous);
    QCOMPARE(responses.at(0).status, 401);
    QCOMPARE(responses.at(1).status, 303);
    for (const HttpResponse &r : responses) {
        QVERIFY(!r.body.contains(wrong.toUtf8()) && !r.body.contains(kPassword.toUtf8()));
        QVERIFY(!r.body.contains(QUrl::toPercentEncoding(kPassword)));
    }
    for (const QString &line : logged)
        QVERIFY(!line.contains(wrong) && !line.contains(kPassword));
    // The store keeps a hash only.
    QVERIFY(Accounts(*m_store).user(QStringLiteral("ann")).value()->passwordHash.startsWith(QLatin1String("$argon2id$")));
}

void TestWebApp::alertSecretsNeverShown_data()
{
    QTest::addColumn<QString>("who");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    const QByteArray address = "address=" + QUrl::toPercentEncoding(QStringLiteral("https://oapi.dingtalk.com/robot/send?access_token=") + kWebhookToken);
    const QByteArray secret = "&secret=" + QUrl::toPercentEncoding(kSigningSecret);
    const QByteArray json = "{\"address\":\"https://oapi.dingtalk.com/robot/send?access_token=" + kWebhookToken.toUtf8()
        + "\",\"secret\":\"" + kSigningSecret.toUtf8() + '"';
    QTest::newRow("settings page, viewer") << QStringLiteral("viewer") << QByteArray("GET") << QStringLiteral("/settings/alerts") << QByteArray() << 200;
    QTest::newRow("settings page, admin") << QStringLiteral("admin") << QByteArray("GET") << QStringLiteral("/settings/alerts") << QByteArray() << 200;
    QTest::newRow("settings page, added") << QStringLiteral("admin") << QByteArray("POST") << QStringLiteral("/settings/alerts") << address + secret << 200;
    QTest::newRow("settings page, refused") << QStringLiteral("admin") << QByteArray("POST") << QStringLiteral("/settings/alerts") << address + secret + "&format=slack" << 422;
    QTest::newRow("API list") << QStringLiteral("viewer token") << QByteArray("GET") << QStringLiteral("/api/v1/alerts/targets") << QByteArray() << 200;
    QTest::newRow("API added") << QStringLiteral("admin token") << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << json + "}" << 201;
    QTest::newRow("API refused") << QStringLiteral("admin token") << QByteArray("POST") << QStringLiteral("/api/v1/alerts/targets") << json + ",\"format\":\"wecom\"}" << 422;
}

void TestWebApp::alertSecretsNeverShown()
{
    QFETCH(QString, who);
    QFETCH(QByteArray, method);
    QFETCH(QString, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    HttpResponse response;
    if (who.endsWith(QLatin1String(" token"))) {
        HttpRequest r = request(method, target, QByteArray(), body);
        r.headers.insert("authorization", "Bearer " + (who.startsWith(QLatin1String("admin")) ? m_adminToken : m_viewerToken).toLatin1());
        response = m_app->handle(r);
    } else {
        response = as(who, method, target, body);
    }
    QCOMPARE(response.status, status);
    for (const QString &secret : {kWebhookToken, kSigningSecret})
        QVERIFY2(!response.body.contains(secret.toUtf8()) && !response.body.contains(QUrl::toPercentEncoding(secret)),
                 response.body.constData());
    // What is shown of a stored or an added target is its masked form.
    if (status < 400)
        QVERIFY2(response.body.contains("access_token=tok3****"), response.body.constData());
}

void TestWebApp::overSocket()
{
    // Through Qt HTTP Server on 127.0.0.1: a request with a very long header and one that is
    // not HTTP at all leave the server answering.
    HttpFront front(*m_app);
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    front.bind(&listener);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort());
    {
        QTcpSocket garbage;
        garbage.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(garbage.waitForConnected(5000));
        garbage.write("\x01\x02 NOT HTTP\r\n\r\n");
        garbage.write("GET /x HTTP/1.1\r\nX-Long: " + QByteArray(200 * 1024, 'a') + "\r\n\r\n");
        garbage.flush();
        QTRY_VERIFY_WITH_TIMEOUT(garbage.state() == QAbstractSocket::UnconnectedState || garbage.bytesAvailable() > 0, 10000);
    }
    QNetworkAccessManager manager;
    QNetworkRequest get(QUrl(base + QStringLiteral("/api/v1/queue")));
    get.setRawHeader("Authorization", "Bearer " + m_viewerToken.toLatin1());
    QNetworkReply *reply = manager.get(get);
    QSignalSpy done(reply, &QNetworkReply::finished);
    QVERIFY(done.wait(10000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QCOMPARE(reply->rawHeader("X-Frame-Options"), QByteArray("DENY"));
    QVERIFY(QJsonDocument::fromJson(reply->readAll()).object().contains(QStringLiteral("waiting")));
    reply->deleteLater();
}

QTEST_GUILESS_MAIN(TestWebApp)
#include "test_web_app.moc"
