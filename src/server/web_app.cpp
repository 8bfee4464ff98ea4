#include "web_app.h"

#include "cli/domain_list.h"
#include "cli/history_commands.h"
#include "credentials.h"
#include "export/exporter.h"
#include "export/html_report.h"
#include "export/markup.h"
#include "notify/alert_formats.h"
#include "notify/masking.h"
#include "openapi.h"
#include "records.h"
#include "store/accounts.h"
#include "store/history_format.h"
#include "store/history_store.h"
#include "store/outbox.h"
#include "store/tracked_domains.h"
#include "store/work_queue.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include <algorithm>

namespace korvane {

namespace {

const QString kSessionCookie = QStringLiteral("korvane_session");
const QString kLoginCookie = QStringLiteral("korvane_login");
constexpr int kMaxIntervalHours = 24 * 365;

// ---------------------------------------------------------------------------------------------
// Small pieces

QString esc(QStringView text) { return escaped(text); }

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("—");
}

QString numberOr(const std::optional<qint64> &value) { return value ? digits(*value) : QStringLiteral("—"); }

// A path segment as a link takes it.
QString pathPart(const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); }

QString cookie(const HttpRequest &request, const QString &name)
{
    const QString all = QString::fromLatin1(request.header("cookie"));
    for (const QString &part : all.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed() == name)
            return part.mid(eq + 1).trimmed();
    }
    return QString();
}

QUrlQuery formOf(const HttpRequest &request)
{
    QByteArray body = request.body;
    body.replace('+', "%20");
    return QUrlQuery(QString::fromUtf8(body));
}

QString field(const QUrlQuery &form, const QString &name) { return form.queryItemValue(name, QUrl::FullyDecoded); }

// Compares two secrets in time that does not depend on where they differ.
bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

std::optional<qint64> idNamed(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,18}$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    const qint64 id = text.toLongLong();
    return id > 0 ? std::optional<qint64>(id) : std::nullopt;
}

// The domain of a path: as the CLI would take it typed, and already in its checked form.
std::optional<QString> domainNamed(const QString &text)
{
    const CheckedDomain checked = checkDomain(text);
    if (!checked.reason.isEmpty() || checked.domain != text)
        return std::nullopt;
    return checked.domain;
}

HttpResponse textResponse(int status, const QString &text)
{
    return {status, QByteArrayLiteral("text/plain; charset=utf-8"), {}, text.toUtf8() + '\n'};
}

HttpResponse jsonResponse(int status, const QJsonDocument &document)
{
    return {status, QByteArrayLiteral("application/json"), {}, document.toJson(QJsonDocument::Compact) + '\n'};
}

HttpResponse jsonError(int status, const QString &error, const QJsonObject &more = {})
{
    QJsonObject object = more;
    object.insert(QStringLiteral("error"), error);
    return jsonResponse(status, QJsonDocument(object));
}

HttpResponse redirect(const QString &to)
{
    return {303, QByteArrayLiteral("text/plain; charset=utf-8"), {{QByteArrayLiteral("Location"), to.toUtf8()}}, QByteArrayLiteral("\n")};
}

QString outcomeText(const QString &outcome) { return outcomeLabel(outcome); }

// Checks the lines of a domain list as the CLI checks a --input file: each invalid one with its
// number and reason; the valid ones once each, in order.
struct CheckedLines
{
    QStringList domains;
    QList<std::pair<int, QString>> invalid;
};

CheckedLines checkLines(const QList<ListedLine> &lines)
{
    CheckedLines result;
    for (const ListedLine &line : lines) {
        const CheckedDomain checked = checkDomain(line.text);
        if (!checked.reason.isEmpty())
            result.invalid.append({line.number, checked.reason});
        else if (!result.domains.contains(checked.domain))
            result.domains.append(checked.domain);
    }
    return result;
}

// A small line of the site counts of a domain's latest analyses.
QString sparkline(const QList<StoredAnalysis> &recent)
{
    QList<qint64> values;
    for (const StoredAnalysis &a : recent)
        if (a.outcome != QLatin1String("stopped"))
            values.append(a.sites);
    if (values.isEmpty())
        return QString();
    const int width = 100;
    const int height = 24;
    const qint64 top = std::max<qint64>(1, *std::max_element(values.cbegin(), values.cend()));
    QString points;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const int x = values.size() == 1 ? width / 2 : int(i * (width - 4) / (values.size() - 1)) + 2;
        const int y = height - 2 - int(values.at(i) * (height - 4) / top);
        points += QStringLiteral("%1%2,%3").arg(i == 0 ? QString() : QStringLiteral(" ")).arg(x).arg(y);
    }
    QString tip;
    for (const qint64 v : values)
        tip += (tip.isEmpty() ? QString() : QStringLiteral(" → ")) + digits(v);
    return QStringLiteral("<svg class=\"spark\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\">"
                          "<title>站点数量：%3</title><polyline class=\"s0\" points=\"%4\"/></svg>")
        .arg(width)
        .arg(height)
        .arg(esc(tip), points);
}

const QString &serverStyle()
{
    static const QString css = QStringLiteral(
        "nav.top{display:flex;flex-wrap:wrap;gap:6px 18px;align-items:center;border-bottom:1px solid #ddd;"
        "padding:0 0 8px;margin:0 0 18px}nav.top form{margin:0 0 0 auto}"
        "form.inline{display:inline}form p{margin:6px 0}textarea{width:100%;max-width:40em;font-family:monospace}"
        "button{cursor:pointer}p.error{padding:8px 12px;background:#fde8e8;border-left:4px solid #c33}"
        "p.ok{padding:8px 12px;background:#e8f6ea;border-left:4px solid #3a3}"
        "table#domains td:nth-child(n+4):nth-child(-n+7){text-align:right;font-variant-numeric:tabular-nums}"
        "svg.spark polyline{fill:none;stroke-width:1.5}fieldset{margin:12px 0;border:1px solid #ddd}"
        "th a{color:inherit}");
    return css;
}

} // namespace

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

QByteArray contentSecurityPolicy(const QByteArray &html)
{
    QByteArray styles;
    QByteArray scripts;
    const auto collect = [&html](const QByteArray &open, const QByteArray &close, QByteArray &into) {
        for (qsizetype at = html.indexOf(open); at >= 0; at = html.indexOf(open, at)) {
            const qsizetype start = at + open.size();
            const qsizetype end = html.indexOf(close, start);
            if (end < 0)
                break;
            into += " 'sha256-" + QCryptographicHash::hash(html.mid(start, end - start), QCryptographicHash::Sha256).toBase64()
                + '\'';
            at = end + close.size();
        }
    };
    collect(QByteArrayLiteral("<style>"), QByteArrayLiteral("</style>"), styles);
    collect(QByteArrayLiteral("<script>"), QByteArrayLiteral("</script>"), scripts);
    QByteArray policy = QByteArrayLiteral("default-src 'none'");
    if (!styles.isEmpty())
        policy += "; style-src" + styles;
    if (!scripts.isEmpty())
        policy += "; script-src" + scripts;
    policy += "; img-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'";
    return policy;
}

// Who is asking: a user signed in (pages) or named by a token (API).
struct WebApp::Visitor
{
    QString user;
    QString role;
    QByteArray csrf;
    bool admin() const { return role == QLatin1String("admin"); }
};

WebApp::WebApp(HistoryStore &store, Clock clock, WebSettings settings)
    : m_store(store), m_clock(clock), m_settings(settings), m_sessions(clock), m_loginLimit(clock)
{
}

HttpResponse WebApp::handle(const HttpRequest &request)
{
    HttpResponse response = route(request);
    // The same headers on every answer; an HTML one also allows its own inline style and script.
    const bool html = response.contentType.startsWith("text/html");
    response.headers.append({QByteArrayLiteral("Content-Security-Policy"),
                             html ? contentSecurityPolicy(response.body) : QByteArrayLiteral("default-src 'none'; frame-ancestors 'none'")});
    response.headers.append({QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff")});
    response.headers.append({QByteArrayLiteral("X-Frame-Options"), QByteArrayLiteral("DENY")});
    response.headers.append({QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer")});
    response.headers.append({QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store")});
    return response;
}

HttpResponse WebApp::storeFailure(const QString &error, bool json)
{
    qWarning("korvane-server: %s", qPrintable(error));
    const QString text = QStringLiteral("the history store could not be read or written");
    return json ? jsonError(500, text) : textResponse(500, text);
}

std::optional<bool> WebApp::known(const QString &domain)
{
    TrackedDomains tracked(m_store);
    const auto found = tracked.find(domain);
    if (!found) {
        qWarning("korvane-server: %s", qPrintable(tracked.errorString()));
        return std::nullopt;
    }
    if (*found)
        return true;
    const auto list = m_store.analyses(domain);
    if (!list)
        return std::nullopt;
    return !list->isEmpty();
}

HttpResponse WebApp::route(const HttpRequest &request)
{
    const bool isApi = request.path == QLatin1String("/api") || request.path.startsWith(QLatin1String("/api/"));
    // Refused before anything else: a body too large, a path that climbs.
    bool sizeRead = false;
    const qint64 declared = request.header("content-length").toLongLong(&sizeRead);
    if (request.body.size() > kMaxBody || (sizeRead && declared > kMaxBody))
        return isApi ? jsonError(413, QStringLiteral("the request body is larger than 1 MiB"))
                     : textResponse(413, QStringLiteral("the request body is larger than 1 MiB"));
    // Qt HTTP Server takes headers of any length; what no browser sends is refused here.
    qsizetype headerBytes = request.path.size();
    for (auto it = request.headers.cbegin(); it != request.headers.cend(); ++it)
        headerBytes += it.key().size() + it.value().size();
    if (headerBytes > kMaxHeaders)
        return isApi ? jsonError(400, QStringLiteral("the request headers are larger than 64 KiB"))
                     : textResponse(400, QStringLiteral("the request headers are larger than 64 KiB"));
    if (!request.path.startsWith(QLatin1Char('/')))
        return isApi ? jsonError(400, QStringLiteral("malformed path")) : textResponse(400, QStringLiteral("malformed path"));
    QStringList segments = request.path.mid(1).split(QLatin1Char('/'));
    if (segments.size() == 1 && segments.first().isEmpty())
        segments.clear();
    for (const QString &segment : segments) {
        if (segment == QLatin1String("..") || segment == QLatin1String(".") || segment.isEmpty()
            || segment.contains(QChar(0)))
            return isApi ? jsonError(400, QStringLiteral("malformed path")) : textResponse(400, QStringLiteral("malformed path"));
    }
    if (isApi)
        return api(request, segments.mid(1));

    const QByteArray &method = request.method;
    if (segments == QStringList{QStringLiteral("login")}) {
        if (method == "GET" || method == "HEAD")
            return loginPage(request, 200, QString());
        if (method == "POST")
            return login(request);
        return textResponse(405, QStringLiteral("method not allowed"));
    }

    // Everything else needs a session.
    const QByteArray id = cookie(request, kSessionCookie).toLatin1();
    const auto session = id.isEmpty() ? std::nullopt : m_sessions.use(id);
    if (!session)
        return redirect(QStringLiteral("/login"));
    Accounts accounts(m_store);
    const auto user = accounts.user(session->user);
    if (!user)
        return storeFailure(accounts.errorString(), false);
    if (!*user) { // removed meanwhile
        m_sessions.end(id);
        return redirect(QStringLiteral("/login"));
    }
    const Visitor visitor{session->user, (*user)->role, session->csrf};

    // Which routes there are, and which methods each takes.
    enum class Route { None, Dashboard, Logout, Add, Domain, DomainAction, Analysis, Download, Diff, Queue, Alerts, AlertRemove };
    Route which = Route::None;
    const qsizetype n = segments.size();
    if (n == 0)
        which = Route::Dashboard;
    else if (segments.at(0) == QLatin1String("logout") && n == 1)
        which = Route::Logout;
    else if (segments.at(0) == QLatin1String("domains") && n == 2 && segments.at(1) == QLatin1String("add"))
        which = Route::Add;
    else if (segments.at(0) == QLatin1String("domains") && n == 2)
        which = Route::Domain;
    else if (segments.at(0) == QLatin1String("domains") && n == 3)
        which = Route::DomainAction;
    else if (segments.at(0) == QLatin1String("analyses") && n == 2)
        which = Route::Analysis;
    else if (segments.at(0) == QLatin1String("analyses") && n == 3)
        which = Route::Download;
    else if (segments.at(0) == QLatin1String("diff") && n == 1)
        which = Route::Diff;
    else if (segments.at(0) == QLatin1String("queue") && n == 1)
        which = Route::Queue;
    else if (segments.at(0) == QLatin1String("settings") && n >= 2 && segments.at(1) == QLatin1String("alerts"))
        which = n == 2 ? Route::Alerts : n == 3 && segments.at(2) == QLatin1String("remove") ? Route::AlertRemove : Route::None;
    if (which == Route::None)
        return page(visitor, 404, QStringLiteral("未找到"), QStringLiteral("<h1>未找到该页面</h1>\n"));

    const bool changes = which == Route::Logout || which == Route::DomainAction || which == Route::AlertRemove
        || ((which == Route::Add || which == Route::Alerts) && method == "POST");
    const bool takesPost = which == Route::Logout || which == Route::Add || which == Route::DomainAction
        || which == Route::Alerts || which == Route::AlertRemove;
    const bool takesGet = which != Route::Logout && which != Route::DomainAction && which != Route::AlertRemove;
    if (!((method == "GET" && takesGet) || (method == "HEAD" && takesGet) || (method == "POST" && takesPost)))
        return textResponse(405, QStringLiteral("method not allowed"));
    if (method == "POST") {
        // Every form carries the session's form token.
        if (!sameSecret(field(formOf(request), QStringLiteral("csrf")).toLatin1(), visitor.csrf))
            return page(visitor, 403, QStringLiteral("拒绝"), QStringLiteral("<h1>表单已失效</h1>\n<p class=\"error\">表单校验失败，请返回后重试。</p>\n"));
    }
    if (which == Route::Logout)
        return logout(request, visitor);
    // Viewers read everything and change nothing; the form to add domains is for admins only.
    if ((changes || which == Route::Add) && !visitor.admin())
        return page(visitor, 403, QStringLiteral("拒绝"), QStringLiteral("<h1>没有权限</h1>\n<p class=\"error\">只有管理员可以修改。</p>\n"));

    switch (which) {
    case Route::Dashboard: return dashboard(request, visitor);
    case Route::Add: return method == "POST" ? addDomains(request, visitor) : addPage(visitor);
    case Route::Domain: return domainPage(visitor, segments.at(1));
    case Route::DomainAction: return domainAction(request, visitor, segments.at(1), segments.at(2));
    case Route::Analysis: return analysisPage(visitor, segments.at(1));
    case Route::Download: return download(segments.at(1), segments.at(2));
    case Route::Diff: return diffPage(request, visitor);
    case Route::Queue: return queuePage(visitor);
    case Route::Alerts:
        return method == "POST" ? addAlertTarget(request, visitor) : alertsPage(visitor, 200, QString());
    case Route::AlertRemove: return removeAlertTarget(request, visitor);
    case Route::Logout:
    case Route::None: break;
    }
    return page(visitor, 404, QStringLiteral("未找到"), QStringLiteral("<h1>未找到该页面</h1>\n"));
}

// ---------------------------------------------------------------------------------------------
// Pages

HttpResponse WebApp::page(const Visitor &visitor, int status, const QString &title, const QString &body,
                          bool withScript, const QString &head)
{
    QString out;
    out.reserve(body.size() + 16384);
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"referrer\" content=\"no-referrer\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n")
        + head + QStringLiteral("<title>");
    out += esc(title) + QStringLiteral(" · Korvane</title>\n<style>") + htmlStyleSheet() + serverStyle()
        + QStringLiteral("</style>\n</head>\n<body>\n");
    if (!visitor.user.isEmpty()) {
        out += QStringLiteral("<nav class=\"top\"><a href=\"/\">仪表盘</a><a href=\"/queue\">队列</a>"
                              "<a href=\"/settings/alerts\">提醒设置</a>");
        if (visitor.admin())
            out += QStringLiteral("<a href=\"/domains/add\">添加域名</a>");
        out += QStringLiteral("<form method=\"post\" action=\"/logout\"><span>") + esc(visitor.user)
            + QStringLiteral("（") + (visitor.admin() ? QStringLiteral("管理员") : QStringLiteral("只读"))
            + QStringLiteral("）</span> <input type=\"hidden\" name=\"csrf\" value=\"") + QString::fromLatin1(visitor.csrf)
            + QStringLiteral("\"><button type=\"submit\" id=\"logout\">退出</button></form></nav>\n");
    }
    out += body;
    if (withScript)
        out += QStringLiteral("<script>") + htmlScript() + QStringLiteral("</script>\n");
    out += QStringLiteral("</body>\n</html>\n");
    return {status, QByteArrayLiteral("text/html; charset=utf-8"), {}, out.toUtf8()};
}

HttpResponse WebApp::loginPage(const HttpRequest &request, int status, const QString &message)
{
    // The form token of a visitor not yet signed in: a cookie and the same value in the form.
    QByteArray token = cookie(request, kLoginCookie).toLatin1();
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (!hex.match(QString::fromLatin1(token)).hasMatch())
        token = newRandomId();
    QString body = QStringLiteral("<h1>登录 Korvane</h1>\n");
    if (!message.isEmpty())
        body += QStringLiteral("<p class=\"error\">") + esc(message) + QStringLiteral("</p>\n");
    body += QStringLiteral("<form method=\"post\" action=\"/login\" id=\"login\">\n"
                           "<p><label>用户名 <input name=\"name\" autocomplete=\"username\" required></label></p>\n"
                           "<p><label>密码 <input name=\"password\" type=\"password\" autocomplete=\"current-password\" required></label></p>\n"
                           "<input type=\"hidden\" name=\"csrf\" value=\"")
        + QString::fromLatin1(token) + QStringLiteral("\">\n<p><button type=\"submit\">登录</button></p>\n</form>\n");
    HttpResponse response = page(Visitor{}, status, QStringLiteral("登录"), body);
    response.headers.append({QByteArrayLiteral("Set-Cookie"), kLoginCookie.toLatin1() + '=' + token
                                               + "; HttpOnly; SameSite=Strict; Path=/login"
                                               + (m_settings.secureCookies ? "; Secure" : "")});
    return response;
}

HttpResponse WebApp::login(const HttpRequest &request)
{
    const QUrlQuery form = formOf(request);
    if (!sameSecret(field(form, QStringLiteral("csrf")).toLatin1(), cookie(request, kLoginCookie).toLatin1()))
        return loginPage(request, 403, QStringLiteral("表单已失效，请重新登录。"));
    const QString name = field(form, QStringLiteral("name"));
    const QString password = field(form, QStringLiteral("password"));
    QString address = request.remoteAddress;
    if (m_settings.behindProxy) {
        const QList<QByteArray> forwarded = request.header("x-forwarded-for").split(',');
        if (!forwarded.constLast().trimmed().isEmpty())
            address = QString::fromLatin1(forwarded.constLast().trimmed());
    }
    if (m_loginLimit.blocked(name, address))
        return loginPage(request, 429, QStringLiteral("登录失败次数过多，请 10 分钟后再试。"));
    Accounts accounts(m_store);
    const auto user = accounts.user(name);
    if (!user)
        return storeFailure(accounts.errorString(), false);
    if (!*user || !passwordMatches(password, (*user)->passwordHash)) {
        m_loginLimit.failed(name, address);
        return loginPage(request, 401, QStringLiteral("用户名或密码错误。"));
    }
    // A new session id at every sign-in; the one the visitor came with ends.
    const QByteArray old = cookie(request, kSessionCookie).toLatin1();
    if (!old.isEmpty())
        m_sessions.end(old);
    const QByteArray id = m_sessions.start(name);
    HttpResponse response = redirect(QStringLiteral("/"));
    response.headers.append({QByteArrayLiteral("Set-Cookie"), kSessionCookie.toLatin1() + '=' + id + "; HttpOnly; SameSite=Strict; Path=/"
                                               + (m_settings.secureCookies ? "; Secure" : "")});
    return response;
}

HttpResponse WebApp::logout(const HttpRequest &request, const Visitor &)
{
    m_sessions.end(cookie(request, kSessionCookie).toLatin1());
    HttpResponse response = redirect(QStringLiteral("/login"));
    response.headers.append({QByteArrayLiteral("Set-Cookie"), kSessionCookie.toLatin1() + "=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0"
                                               + (m_settings.secureCookies ? "; Secure" : "")});
    return response;
}

HttpResponse WebApp::dashboard(const HttpRequest &request, const Visitor &visitor)
{
    TrackedDomains tracked(m_store);
    auto rows = tracked.overview(kRecentAnalyses, &m_changes);
    if (!rows)
        return storeFailure(tracked.errorString(), false);
    const QString filter = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded).trimmed();
    if (!filter.isEmpty())
        rows->removeIf([&filter](const TrackedDomains::Overview &o) { return !o.tracked.domain.contains(filter, Qt::CaseInsensitive); });

    // Sorting, without script: each heading is a link.
    struct Column
    {
        QString key;
        QString caption;
    };
    const QList<Column> columns = {{QStringLiteral("domain"), QStringLiteral("域名")},
                                   {QStringLiteral("time"), QStringLiteral("最近分析")},
                                   {QStringLiteral("outcome"), QStringLiteral("结果")},
                                   {QStringLiteral("total"), QStringLiteral("外链总数")},
                                   {QStringLiteral("sites"), QStringLiteral("站点数量")},
                                   {QStringLiteral("new"), QStringLiteral("新增站点")},
                                   {QStringLiteral("lost"), QStringLiteral("失去站点")},
                                   {QString(), QStringLiteral("站点走势")},
                                   {QStringLiteral("next"), QStringLiteral("下次分析")}};
    QString sort = request.query.queryItemValue(QStringLiteral("sort"));
    if (std::none_of(columns.cbegin(), columns.cend(), [&sort](const Column &c) { return !c.key.isEmpty() && c.key == sort; }))
        sort = QStringLiteral("domain");
    const bool descending = request.query.queryItemValue(QStringLiteral("dir")) == QLatin1String("desc");
    const auto latest = [](const TrackedDomains::Overview &o) -> const StoredAnalysis * {
        return o.recent.isEmpty() ? nullptr : &o.recent.constLast();
    };
    const auto key = [&](const TrackedDomains::Overview &o) -> std::pair<qint64, QString> {
        const StoredAnalysis *a = latest(o);
        if (sort == QLatin1String("time"))
            return {a ? a->finishedAt.toMSecsSinceEpoch() : -1, QString()};
        if (sort == QLatin1String("outcome"))
            return {0, a ? a->outcome : QString()};
        if (sort == QLatin1String("total"))
            return {a && a->engineTotal ? *a->engineTotal : -1, QString()};
        if (sort == QLatin1String("sites"))
            return {a ? a->sites : -1, QString()};
        if (sort == QLatin1String("new"))
            return {o.newSites.value_or(-1), QString()};
        if (sort == QLatin1String("lost"))
            return {o.lostSites.value_or(-1), QString()};
        if (sort == QLatin1String("next"))
            return {o.tracked.nextRun.isValid() ? o.tracked.nextRun.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max(), QString()};
        return {0, o.tracked.domain};
    };
    std::stable_sort(rows->begin(), rows->end(), [&](const TrackedDomains::Overview &a, const TrackedDomains::Overview &b) {
        const auto ka = key(a);
        const auto kb = key(b);
        return descending ? kb < ka : ka < kb;
    });

    QString body = QStringLiteral("<h1>仪表盘</h1>\n<form method=\"get\" action=\"/\" id=\"filter\"><p><label>筛选 "
                                  "<input name=\"q\" type=\"search\" value=\"")
        + esc(filter) + QStringLiteral("\"></label> <input type=\"hidden\" name=\"sort\" value=\"") + esc(sort)
        + QStringLiteral("\"><input type=\"hidden\" name=\"dir\" value=\"") + (descending ? QStringLiteral("desc") : QStringLiteral("asc"))
        + QStringLiteral("\"><button type=\"submit\">筛选</button></p></form>\n");
    body += QStringLiteral("<p>共 ") + digits(rows->size()) + QStringLiteral(" 个域名。</p>\n");
    body += QStringLiteral("<table id=\"domains\">\n<thead><tr>");
    for (const Column &c : columns) {
        if (c.key.isEmpty()) {
            body += QStringLiteral("<th>") + c.caption + QStringLiteral("</th>");
            continue;
        }
        const bool current = c.key == sort;
        const bool nextDescending = current ? !descending : false;
        QUrlQuery link;
        link.addQueryItem(QStringLiteral("sort"), c.key);
        link.addQueryItem(QStringLiteral("dir"), nextDescending ? QStringLiteral("desc") : QStringLiteral("asc"));
        if (!filter.isEmpty())
            link.addQueryItem(QStringLiteral("q"), QString::fromLatin1(QUrl::toPercentEncoding(filter)));
        body += QStringLiteral("<th") + (current ? (descending ? QStringLiteral(" aria-sort=\"descending\"") : QStringLiteral(" aria-sort=\"ascending\"")) : QString())
            + QStringLiteral("><a href=\"/?") + esc(link.toString(QUrl::FullyEncoded)) + QStringLiteral("\" data-sort=\"")
            + c.key + QStringLiteral("\">") + c.caption + QStringLiteral("</a></th>");
    }
    body += QStringLiteral("</tr></thead>\n<tbody>\n");
    for (const TrackedDomains::Overview &o : std::as_const(*rows)) {
        const StoredAnalysis *a = latest(o);
        body += QStringLiteral("<tr><td><a href=\"/domains/") + esc(pathPart(o.tracked.domain)) + QStringLiteral("\">")
            + esc(o.tracked.domain) + QStringLiteral("</a></td>");
        if (a) {
            body += QStringLiteral("<td><a href=\"/analyses/") + digits(a->id) + QStringLiteral("\">") + timeText(a->finishedAt)
                + QStringLiteral("</a></td><td>") + esc(outcomeText(a->outcome)) + QStringLiteral("</td><td>")
                + numberOr(a->engineTotal) + QStringLiteral("</td><td>")
                + (a->outcome == QLatin1String("stopped") ? QStringLiteral("—") : digits(a->sites)) + QStringLiteral("</td>");
        } else {
            body += QStringLiteral("<td>尚未分析</td><td>—</td><td>—</td><td>—</td>");
        }
        body += QStringLiteral("<td>") + numberOr(o.newSites) + QStringLiteral("</td><td>") + numberOr(o.lostSites)
            + QStringLiteral("</td><td>") + sparkline(o.recent) + QStringLiteral("</td><td>")
            + (o.tracked.nextRun.isValid() ? timeText(o.tracked.nextRun) : QStringLiteral("不定期")) + QStringLiteral("</td></tr>\n");
    }
    body += QStringLiteral("</tbody>\n</table>\n");
    return page(visitor, 200, QStringLiteral("仪表盘"), body);
}

namespace {

QString addForm(const QByteArray &csrf, const QString &text, bool skip, const QString &interval)
{
    return QStringLiteral("<form method=\"post\" action=\"/domains/add\" id=\"add\">\n"
                          "<p><label for=\"domains\">域名（每行一个）</label></p>\n"
                          "<p><textarea id=\"domains\" name=\"domains\" rows=\"12\" required>")
        + esc(text)
        + QStringLiteral("</textarea></p>\n<p><label><input type=\"checkbox\" name=\"skip_invalid\" value=\"1\"")
        + (skip ? QStringLiteral(" checked") : QString())
        + QStringLiteral("> 跳过无效行</label></p>\n<p><label>每 <input name=\"interval_hours\" type=\"number\" min=\"0\" max=\"")
        + digits(kMaxIntervalHours) + QStringLiteral("\" value=\"") + esc(interval)
        + QStringLiteral("\"> 小时分析一次（0：不定期）</label></p>\n<input type=\"hidden\" name=\"csrf\" value=\"")
        + QString::fromLatin1(csrf) + QStringLiteral("\">\n<p><button type=\"submit\">添加</button></p>\n</form>\n");
}

std::optional<int> intervalNamed(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,5}$"));
    if (!number.match(text.trimmed()).hasMatch())
        return std::nullopt;
    const int hours = text.trimmed().toInt();
    return hours <= kMaxIntervalHours ? std::optional<int>(hours) : std::nullopt;
}

} // namespace

HttpResponse WebApp::addPage(const Visitor &visitor)
{
    return page(visitor, 200, QStringLiteral("添加域名"),
                QStringLiteral("<h1>添加域名</h1>\n") + addForm(visitor.csrf, QString(), false, QStringLiteral("24")));
}

HttpResponse WebApp::addDomains(const HttpRequest &request, const Visitor &visitor)
{
    const QUrlQuery form = formOf(request);
    const QString text = field(form, QStringLiteral("domains"));
    const bool skip = !field(form, QStringLiteral("skip_invalid")).isEmpty();
    QString intervalText = field(form, QStringLiteral("interval_hours"));
    if (intervalText.trimmed().isEmpty())
        intervalText = QStringLiteral("24");
    const auto again = [&](int status, const QString &message) {
        return page(visitor, status, QStringLiteral("添加域名"),
                    QStringLiteral("<h1>添加域名</h1>\n") + message + addForm(visitor.csrf, text, skip, intervalText));
    };
    const auto interval = intervalNamed(intervalText);
    if (!interval)
        return again(400, QStringLiteral("<p class=\"error\">间隔须为 0 到 %1 之间的整数小时。</p>\n").arg(kMaxIntervalHours));
    QString error;
    const auto lines = domainListLines(text.toUtf8(), &error);
    if (!lines)
        return again(400, QStringLiteral("<p class=\"error\">") + esc(error) + QStringLiteral("</p>\n"));
    const CheckedLines checked = checkLines(*lines);
    QString invalidList;
    if (!checked.invalid.isEmpty()) {
        invalidList = QStringLiteral("<ul class=\"invalid\">\n");
        for (const auto &[number, reason] : checked.invalid)
            invalidList += QStringLiteral("<li>第 ") + digits(number) + QStringLiteral(" 行：") + esc(reason) + QStringLiteral("</li>\n");
        invalidList += QStringLiteral("</ul>\n");
    }
    if (!checked.invalid.isEmpty() && !skip)
        return again(422, QStringLiteral("<p class=\"error\">有 ") + digits(checked.invalid.size())
                              + QStringLiteral(" 行不是有效的域名，未添加任何域名（勾选“跳过无效行”可跳过它们）：</p>\n") + invalidList);
    if (checked.domains.isEmpty())
        return again(422, QStringLiteral("<p class=\"error\">没有可添加的域名。</p>\n") + invalidList);
    TrackedDomains tracked(m_store);
    const auto added = tracked.track(checked.domains, *interval, m_clock());
    if (!added)
        return storeFailure(tracked.errorString(), false);
    // The first run of each new domain is due now.
    if (!tracked.queueDue(m_clock()))
        return storeFailure(tracked.errorString(), false);
    QString body = QStringLiteral("<h1>添加域名</h1>\n<p class=\"ok\">已添加 ") + digits(added->added.size())
        + QStringLiteral(" 个域名，已在跟踪中的 ") + digits(added->alreadyTracked.size()) + QStringLiteral(" 个保持不变。</p>\n<ul id=\"added\">\n");
    for (const QString &domain : added->added)
        body += QStringLiteral("<li><a href=\"/domains/") + esc(pathPart(domain)) + QStringLiteral("\">") + esc(domain)
            + QStringLiteral("</a></li>\n");
    body += QStringLiteral("</ul>\n");
    if (!checked.invalid.isEmpty())
        body += QStringLiteral("<p>跳过的无效行：</p>\n") + invalidList;
    body += QStringLiteral("<p><a href=\"/\">返回仪表盘</a></p>\n");
    return page(visitor, 200, QStringLiteral("添加域名"), body);
}

namespace {

QString downloadLinks(qint64 id)
{
    const QString base = QStringLiteral("/analyses/") + digits(id) + QLatin1Char('/');
    return QStringLiteral("<a href=\"%1csv\" class=\"csv\">CSV</a> <a href=\"%1json\">JSON</a> <a href=\"%1html\">HTML</a>").arg(base);
}

} // namespace

HttpResponse WebApp::domainPage(const Visitor &visitor, const QString &text)
{
    const auto domain = domainNamed(text);
    const auto notFound = [&] {
        return page(visitor, 404, QStringLiteral("未找到"), QStringLiteral("<h1>未找到该域名</h1>\n"));
    };
    if (!domain)
        return notFound();
    TrackedDomains tracked(m_store);
    const auto found = tracked.find(*domain);
    if (!found)
        return storeFailure(tracked.errorString(), false);
    const auto entries = m_store.history(*domain);
    if (!entries)
        return storeFailure(m_store.errorString(), false);
    if (!*found && entries->isEmpty())
        return notFound();
    const auto report = historyReport(m_store, *domain, *entries);
    if (!report)
        return storeFailure(m_store.errorString(), false);

    QString body = htmlHistoryBody(*report);
    if (visitor.admin()) {
        const QString csrf = QStringLiteral("<input type=\"hidden\" name=\"csrf\" value=\"") + QString::fromLatin1(visitor.csrf)
            + QStringLiteral("\">");
        const QString base = QStringLiteral("/domains/") + esc(pathPart(*domain));
        body += QStringLiteral("<h2>管理</h2>\n<form method=\"post\" action=\"") + base + QStringLiteral("/analyse\" class=\"inline\">")
            + csrf + QStringLiteral("<button type=\"submit\" id=\"analyse\">立即分析</button></form>\n");
        const int hours = *found ? (*found)->intervalHours : 24;
        body += QStringLiteral("<form method=\"post\" action=\"") + base + QStringLiteral("/schedule\" id=\"schedule\"><p>")
            + csrf + QStringLiteral("<label>每 <input name=\"interval_hours\" type=\"number\" min=\"0\" max=\"")
            + digits(kMaxIntervalHours) + QStringLiteral("\" value=\"") + digits(hours)
            + QStringLiteral("\"> 小时分析一次（0：关闭定时）</label> <button type=\"submit\">保存</button></p></form>\n");
        if (*found) {
            body += QStringLiteral("<p>下次分析：") + ((*found)->nextRun.isValid() ? timeText((*found)->nextRun) : QStringLiteral("不定期"))
                + QStringLiteral("</p>\n<form method=\"post\" action=\"") + base + QStringLiteral("/untrack\" id=\"untrack\"><fieldset>")
                + csrf
                + QStringLiteral("<p><label><input type=\"checkbox\" name=\"drop_history\" value=\"1\"> 同时删除分析历史</label> "
                                 "<label><input type=\"checkbox\" name=\"confirm\" value=\"1\"> 确认删除历史</label></p>"
                                 "<p><button type=\"submit\">停止跟踪</button>（不勾选两项时保留历史）</p></fieldset></form>\n");
        }
    }
    // Downloads of every analysis, newest first.
    body += QStringLiteral("<h2>下载</h2>\n<table class=\"downloads\"><thead><tr><th>编号</th><th>结束时间</th><th>结果</th><th>下载</th></tr></thead><tbody>\n");
    for (auto it = entries->crbegin(); it != entries->crend(); ++it) {
        const StoredAnalysis &a = it->analysis;
        body += QStringLiteral("<tr><td><a href=\"/analyses/") + digits(a.id) + QStringLiteral("\">") + digits(a.id)
            + QStringLiteral("</a></td><td>") + timeText(a.finishedAt) + QStringLiteral("</td><td>")
            + esc(outcomeText(a.outcome)) + QStringLiteral("</td><td>") + downloadLinks(a.id) + QStringLiteral("</td></tr>\n");
    }
    body += QStringLiteral("</tbody></table>\n");
    // The site table of the latest complete analysis.
    const auto latestComplete = std::find_if(entries->crbegin(), entries->crend(),
                                             [](const HistoryEntry &e) { return e.analysis.complete(); });
    if (latestComplete != entries->crend()) {
        const auto sites = m_store.sites(latestComplete->analysis.id);
        if (!sites)
            return storeFailure(m_store.errorString(), false);
        body += QStringLiteral("<section id=\"latest\">\n<h2>最近一次完整分析（编号 ") + digits(latestComplete->analysis.id)
            + QStringLiteral("）</h2>\n") + htmlAnalysisBody(finishedAnalysisOf(latestComplete->analysis, *sites))
            + QStringLiteral("</section>\n");
    }
    return page(visitor, 200, *domain, body, true);
}

HttpResponse WebApp::domainAction(const HttpRequest &request, const Visitor &visitor, const QString &text,
                                  const QString &action)
{
    const auto domain = domainNamed(text);
    const auto notFound = [&] {
        return page(visitor, 404, QStringLiteral("未找到"), QStringLiteral("<h1>未找到该域名</h1>\n"));
    };
    if (!domain)
        return notFound();
    const QStringList actions = {QStringLiteral("analyse"), QStringLiteral("schedule"), QStringLiteral("untrack")};
    if (!actions.contains(action))
        return notFound();
    const auto isKnown = known(*domain);
    if (!isKnown)
        return storeFailure(m_store.errorString(), false);
    if (!*isKnown)
        return notFound();
    const QUrlQuery form = formOf(request);
    const QString back = QStringLiteral("/domains/") + pathPart(*domain);
    TrackedDomains tracked(m_store);
    if (action == QLatin1String("analyse")) {
        WorkQueue queue(m_store);
        if (!queue.add({*domain}))
            return storeFailure(queue.errorString(), false);
        return redirect(back);
    }
    if (action == QLatin1String("schedule")) {
        const auto hours = intervalNamed(field(form, QStringLiteral("interval_hours")));
        if (!hours)
            return page(visitor, 400, QStringLiteral("错误"),
                        QStringLiteral("<p class=\"error\">间隔须为 0 到 %1 之间的整数小时。</p>\n").arg(kMaxIntervalHours));
        const auto changed = tracked.setInterval(*domain, *hours, m_clock());
        if (!changed)
            return storeFailure(tracked.errorString(), false);
        if (!*changed) { // known from its history only: tracked from now on
            if (!tracked.track({*domain}, *hours, m_clock()) || !tracked.setInterval(*domain, *hours, m_clock()))
                return storeFailure(tracked.errorString(), false);
        }
        return redirect(back);
    }
    const bool drop = !field(form, QStringLiteral("drop_history")).isEmpty() && !field(form, QStringLiteral("confirm")).isEmpty();
    const auto removed = tracked.untrack(*domain, drop);
    if (!removed)
        return storeFailure(tracked.errorString(), false);
    return redirect(drop ? QStringLiteral("/") : back);
}

HttpResponse WebApp::analysisPage(const Visitor &visitor, const QString &idText)
{
    const auto id = idNamed(idText);
    if (!id)
        return page(visitor, 400, QStringLiteral("错误"), QStringLiteral("<h1>编号须为正整数</h1>\n"));
    const auto found = m_store.analysis(*id);
    if (!found)
        return storeFailure(m_store.errorString(), false);
    if (!*found)
        return page(visitor, 404, QStringLiteral("未找到"), QStringLiteral("<h1>未找到该分析</h1>\n"));
    const auto sites = m_store.sites(*id);
    if (!sites)
        return storeFailure(m_store.errorString(), false);
    const StoredAnalysis &a = **found;
    QString body = QStringLiteral("<p><a href=\"/domains/") + esc(pathPart(a.domain)) + QStringLiteral("\">")
        + esc(a.domain) + QStringLiteral(" 的历史</a> · 编号 ") + digits(a.id) + QStringLiteral(" · 下载：") + downloadLinks(a.id)
        + QStringLiteral("</p>\n");
    body += htmlAnalysisBody(finishedAnalysisOf(a, *sites));
    return page(visitor, 200, a.domain, body, true);
}

HttpResponse WebApp::download(const QString &idText, const QString &format)
{
    const auto named = exportFormatNamed(format);
    if (!named || *named == ExportFormat::Text)
        return textResponse(404, QStringLiteral("no such download"));
    const auto id = idNamed(idText);
    if (!id)
        return textResponse(400, QStringLiteral("an analysis id is a positive whole number"));
    const auto found = m_store.analysis(*id);
    if (!found)
        return storeFailure(m_store.errorString(), false);
    if (!*found)
        return textResponse(404, QStringLiteral("no such analysis"));
    const auto sites = m_store.sites(*id);
    if (!sites)
        return storeFailure(m_store.errorString(), false);
    const FinishedAnalysis analysis = finishedAnalysisOf(**found, *sites);
    const QByteArray bytes = exportDocument(analysis, ExportOptions{*named, true});
    const QByteArray type = *named == ExportFormat::Csv ? QByteArrayLiteral("text/csv; charset=utf-8")
        : *named == ExportFormat::Json                  ? QByteArrayLiteral("application/json")
                                                        : QByteArrayLiteral("text/html; charset=utf-8");
    // The file's name: the domain is a checked host name, but is kept to safe characters anyway.
    QString name = (*found)->domain;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.-]")), QStringLiteral("_"));
    return {200, type,
            {{QByteArrayLiteral("Content-Disposition"), "attachment; filename=\"" + name.toLatin1() + '-' + QByteArray::number(*id) + '.'
                                         + format.toLatin1() + '"'}},
            bytes};
}

namespace {

// The two analyses a diff compares, as a request names them (domain=, and from= and to= when
// given: by default the latest two complete ones, or the complete one before to=), with their
// rows; or why there are none.
struct DiffChoice
{
    enum class Refusal { None, NoDomainGiven, NoSuchDomain, BadId, StoreFailed, NoAnalysis, NeedTwoComplete, NoneBefore, NoSuchId };
    Refusal refusal = Refusal::None;
    QString domain;
    QString idName; // BadId: the parameter, from or to
    qint64 id = 0;  // NoneBefore and NoSuchId: the id named
    StoredAnalysis sides[2];
    QList<StoredSite> rows[2];
};

DiffChoice chooseDiff(HistoryStore &store, const QUrlQuery &query)
{
    DiffChoice c;
    using Refusal = DiffChoice::Refusal;
    const QString text = query.queryItemValue(QStringLiteral("domain"), QUrl::FullyDecoded);
    const auto domain = domainNamed(text);
    if (!domain) {
        c.refusal = text.isEmpty() ? Refusal::NoDomainGiven : Refusal::NoSuchDomain;
        return c;
    }
    c.domain = *domain;
    std::optional<qint64> ids[2];
    const QString names[2] = {QStringLiteral("from"), QStringLiteral("to")};
    for (int i = 0; i < 2; ++i) {
        if (!query.hasQueryItem(names[i]))
            continue;
        ids[i] = idNamed(query.queryItemValue(names[i]));
        if (!ids[i]) {
            c.refusal = Refusal::BadId;
            c.idName = names[i];
            return c;
        }
    }
    const auto list = store.analyses(*domain);
    if (!list) {
        c.refusal = Refusal::StoreFailed;
        return c;
    }
    if (list->isEmpty()) {
        c.refusal = Refusal::NoAnalysis;
        return c;
    }
    QList<qint64> complete;
    for (const StoredAnalysis &a : *list)
        if (a.complete())
            complete.append(a.id);
    if ((!ids[0] && !ids[1] && complete.size() < 2) || (!ids[1] && complete.isEmpty())) {
        c.refusal = Refusal::NeedTwoComplete;
        return c;
    }
    if (!ids[0] && ids[1]) {
        // Only the later one named: the complete analysis before it.
        const auto before = std::find_if(complete.crbegin(), complete.crend(), [&](qint64 id) { return id < *ids[1]; });
        if (before == complete.crend()) {
            c.refusal = Refusal::NoneBefore;
            c.id = *ids[1];
            return c;
        }
        ids[0] = *before;
    }
    if (!ids[0])
        ids[0] = complete.at(complete.size() - 2);
    if (!ids[1])
        ids[1] = complete.constLast();
    for (int i = 0; i < 2; ++i) {
        const auto found = std::find_if(list->cbegin(), list->cend(), [&](const StoredAnalysis &a) { return a.id == *ids[i]; });
        if (found == list->cend()) {
            c.refusal = Refusal::NoSuchId;
            c.id = *ids[i];
            return c;
        }
        c.sides[i] = *found;
        const auto sites = store.sites(*ids[i]);
        if (!sites) {
            c.refusal = Refusal::StoreFailed;
            return c;
        }
        c.rows[i] = *sites;
    }
    return c;
}

} // namespace

HttpResponse WebApp::diffPage(const HttpRequest &request, const Visitor &visitor)
{
    const auto error = [&](int status, const QString &message) {
        return page(visitor, status, QStringLiteral("对比"), QStringLiteral("<h1>对比</h1>\n<p class=\"error\">") + esc(message) + QStringLiteral("</p>\n"));
    };
    const DiffChoice c = chooseDiff(m_store, request.query);
    using Refusal = DiffChoice::Refusal;
    switch (c.refusal) {
    case Refusal::None: break;
    case Refusal::NoDomainGiven: return error(400, QStringLiteral("缺少 domain 参数。"));
    case Refusal::NoSuchDomain: return error(404, QStringLiteral("未找到该域名。"));
    case Refusal::BadId: return error(400, QStringLiteral("编号须为正整数。"));
    case Refusal::StoreFailed: return storeFailure(m_store.errorString(), false);
    case Refusal::NoAnalysis: return error(404, QStringLiteral("未找到该域名的分析。"));
    case Refusal::NeedTwoComplete: return error(422, QStringLiteral("需要两次完整的分析才能对比。"));
    case Refusal::NoneBefore: return error(422, QStringLiteral("编号 %1 之前没有完整的分析。").arg(c.id));
    case Refusal::NoSuchId: return error(404, QStringLiteral("该域名没有编号为 %1 的分析。").arg(c.id));
    }
    const SiteDiff diff = diffSites(c.sides[0], c.rows[0], c.sides[1], c.rows[1]);
    QString body = QStringLiteral("<h1>") + esc(c.domain) + QStringLiteral(" 的变化（编号 ") + digits(c.sides[0].id)
        + QStringLiteral(" → ") + digits(c.sides[1].id) + QStringLiteral("）</h1>\n");
    const auto siteTable = [&body](const QString &heading, const QString &id, const QList<StoredSite> &sites) {
        body += QStringLiteral("<h2>") + heading + QStringLiteral("（") + digits(sites.size()) + QStringLiteral(" 个）</h2>\n<table id=\"")
            + id + QStringLiteral("\" class=\"sortable\"><thead><tr><th data-k=\"s\">域名</th><th data-k=\"n\">外链数量</th><th data-k=\"d\">最新外链日期</th><th>最新外链地址</th></tr></thead><tbody>\n");
        for (const StoredSite &s : sites)
            body += QStringLiteral("<tr><td>") + esc(s.site) + QStringLiteral("</td><td>") + digits(s.links) + QStringLiteral("</td><td>")
                + esc(s.latestDate) + QStringLiteral("</td><td>") + esc(s.latestAddress) + QStringLiteral("</td></tr>\n");
        body += QStringLiteral("</tbody></table>\n");
    };
    siteTable(QStringLiteral("新增站点"), QStringLiteral("new"), diff.added);
    siteTable(QStringLiteral("消失站点"), QStringLiteral("lost"), diff.lost);
    body += QStringLiteral("<h2>外链数变化（") + digits(diff.changed.size())
        + QStringLiteral(" 个）</h2>\n<table id=\"changed\" class=\"sortable\"><thead><tr><th data-k=\"s\">域名</th><th data-k=\"n\">之前</th><th data-k=\"n\">之后</th></tr></thead><tbody>\n");
    for (const LinkChange &c : diff.changed)
        body += QStringLiteral("<tr><td>") + esc(c.site) + QStringLiteral("</td><td>") + digits(c.linksBefore)
            + QStringLiteral("</td><td>") + digits(c.linksAfter) + QStringLiteral("</td></tr>\n");
    body += QStringLiteral("</tbody></table>\n");
    return page(visitor, 200, QStringLiteral("对比"), body, true);
}

HttpResponse WebApp::queuePage(const Visitor &visitor)
{
    const QDateTime now = m_clock();
    const QDateTime midnight = QDateTime(now.toLocalTime().date(), QTime(0, 0));
    TrackedDomains tracked(m_store);
    const auto entries = tracked.queueEntries(midnight);
    if (!entries)
        return storeFailure(tracked.errorString(), false);
    QString waiting, working, done, refused;
    int counts[4] = {0, 0, 0, 0};
    for (const TrackedDomains::QueueEntry &e : *entries) {
        const QString name = QStringLiteral("<a href=\"/domains/") + esc(pathPart(e.domain)) + QStringLiteral("\">") + esc(e.domain)
            + QStringLiteral("</a>");
        if (e.state == QLatin1String("waiting")) {
            ++counts[0];
            waiting += QStringLiteral("<tr><td>") + name + QStringLiteral("</td><td>") + timeText(e.addedAt) + QStringLiteral("</td></tr>\n");
        } else if (e.state == QLatin1String("working")) {
            ++counts[1];
            working += QStringLiteral("<tr><td>") + name + QStringLiteral("</td><td>") + esc(e.worker) + QStringLiteral("</td><td>")
                + timeText(e.leasedUntil) + QStringLiteral("</td></tr>\n");
        } else if (e.doneAt.isValid() && e.doneAt >= midnight) {
            ++counts[2];
            done += QStringLiteral("<tr><td>") + name + QStringLiteral("</td><td>") + timeText(e.doneAt) + QStringLiteral("</td><td>")
                + (e.analysisId ? QStringLiteral("<a href=\"/analyses/") + digits(*e.analysisId) + QStringLiteral("\">") + digits(*e.analysisId)
                                      + QStringLiteral("</a>")
                                : QStringLiteral("—"))
                + QStringLiteral("</td></tr>\n");
        }
        if (e.refusals > 0) {
            ++counts[3];
            refused += QStringLiteral("<tr><td>") + name + QStringLiteral("</td><td>") + digits(e.refusals) + QStringLiteral("</td></tr>\n");
        }
    }
    const auto table = [](const QString &id, const QString &heading, int count, const QStringList &columns, const QString &rows) -> QString {
        QString out = QStringLiteral("<h2>") + heading + QStringLiteral("（") + digits(count) + QStringLiteral("）</h2>\n<table id=\"")
            + id + QStringLiteral("\"><thead><tr>");
        for (const QString &c : columns)
            out += QStringLiteral("<th>") + c + QStringLiteral("</th>");
        return out + QStringLiteral("</tr></thead><tbody>\n") + rows + QStringLiteral("</tbody></table>\n");
    };
    QString body = QStringLiteral("<h1>队列</h1>\n<p class=\"key\">本页每 5 秒自动刷新。</p>\n");
    body += table(QStringLiteral("waiting"), QStringLiteral("等待中"), counts[0], {QStringLiteral("域名"), QStringLiteral("加入时间")}, waiting);
    body += table(QStringLiteral("working"), QStringLiteral("分析中"), counts[1],
                  {QStringLiteral("域名"), QStringLiteral("工作进程"), QStringLiteral("租约到期")}, working);
    body += table(QStringLiteral("done"), QStringLiteral("今日完成"), counts[2],
                  {QStringLiteral("域名"), QStringLiteral("完成时间"), QStringLiteral("分析")}, done);
    body += table(QStringLiteral("refused"), QStringLiteral("遭拒（安全验证）"), counts[3], {QStringLiteral("域名"), QStringLiteral("次数")}, refused);
    return page(visitor, 200, QStringLiteral("队列"), body, false, QStringLiteral("<meta http-equiv=\"refresh\" content=\"5\">\n"));
}

// ---------------------------------------------------------------------------------------------
// The JSON API

// ---------------------------------------------------------------------------------------------
// Alert targets: where the alerts of every domain, or of one, are sent. Shown only masked.

namespace {

constexpr qsizetype kMaxTargetAddress = 2048;
constexpr qsizetype kMaxTargetSecret = 256;

// A target as typed on the page or posted to the API, checked as korvane-cli checks --notify
// and --mail-to; when it is not valid, why, for the page (Chinese) and for the API.
struct CheckedTarget
{
    std::optional<AlertTarget> target;
    QString reason;
    QString apiReason;
};

CheckedTarget checkTarget(const QString &addressText, const QString &formatText, const QString &secretText,
                          const QString &domainText)
{
    const QString address = addressText.trimmed();
    const QString format = formatText.trimmed().isEmpty() ? QStringLiteral("auto") : formatText.trimmed();
    const QString secret = secretText.trimmed();
    const QString domain = domainText.trimmed();
    const auto refused = [](const QString &reason, const QString &apiReason) { return CheckedTarget{std::nullopt, reason, apiReason}; };
    if (address.isEmpty())
        return refused(QStringLiteral("请填写网址或邮件地址。"), QStringLiteral("\"address\" is missing"));
    if (address.size() > kMaxTargetAddress || secret.size() > kMaxTargetSecret)
        return refused(QStringLiteral("地址或签名密钥过长。"), QStringLiteral("the address or the secret is too long"));
    if (format != QLatin1String("auto") && (format == QLatin1String("mail") || !isWebhookFormat(format)))
        return refused(QStringLiteral("格式须为 auto、json、wecom、dingtalk、feishu 或 slack。"),
                       QStringLiteral("\"format\" takes auto, json, wecom, dingtalk, feishu or slack"));
    QString error;
    std::optional<AlertTarget> target;
    if (!address.contains(QLatin1String("://")) && address.contains(QLatin1Char('@'))) {
        if (format != QLatin1String("auto"))
            return refused(QStringLiteral("邮件地址不取消息格式（请选 auto）。"), QStringLiteral("a mail address takes the format auto"));
        target = mailTarget(address, &error);
        if (!target)
            return refused(QStringLiteral("不是有效的邮件地址。"), QStringLiteral("not a mail address such as team@example.com"));
    } else {
        target = webhookTarget(address, format, secret, &error);
        if (!target)
            return refused(QStringLiteral("网址须以 http:// 或 https:// 开头并含主机名；邮件地址须含“@”。"),
                           QStringLiteral("\"address\" takes an http:// or https:// address, or a mail address"));
    }
    if (!secret.isEmpty() && target->secret.isEmpty())
        return refused(QStringLiteral("签名密钥只用于钉钉和飞书机器人。"), QStringLiteral("a secret signs DingTalk and Feishu messages only"));
    if (!domain.isEmpty()) {
        const CheckedDomain checked = checkDomain(domain);
        if (!checked.reason.isEmpty())
            return refused(QStringLiteral("域名无效：") + checked.reason, QStringLiteral("\"domain\": ") + checked.reason);
        target->domain = checked.domain;
    }
    return {target, QString(), QString()};
}

// A stored target as the API shows it: its address and secret masked.
QJsonObject targetJson(const AlertTarget &t)
{
    return {{QStringLiteral("id"), t.id},
            {QStringLiteral("domain"), t.domain.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(t.domain)},
            {QStringLiteral("address"), maskedAddress(t.address)},
            {QStringLiteral("format"), t.format},
            {QStringLiteral("secret"), t.secret.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(maskSecret(t.secret))}};
}

QString formatChoice(const QString &chosen)
{
    QString out;
    for (const char *name : {"auto", "json", "wecom", "dingtalk", "feishu", "slack"})
        out += QStringLiteral("<option%1>%2</option>")
                   .arg(chosen == QLatin1String(name) ? QStringLiteral(" selected") : QString(), QLatin1String(name));
    return out;
}

} // namespace

HttpResponse WebApp::alertsPage(const Visitor &visitor, int status, const QString &message, const QString &format,
                                const QString &domain)
{
    Outbox outbox(m_store);
    const auto targets = outbox.targets();
    if (!targets)
        return storeFailure(outbox.errorString(), false);
    QString body = QStringLiteral("<h1>提醒设置</h1>\n") + message
        + QStringLiteral("<p>域名新增或失去外链站点、连续分析失败及恢复时，服务器的分析结果会发送到下列地址。"
                         "密钥只显示开头。</p>\n");
    if (targets->isEmpty()) {
        body += QStringLiteral("<p id=\"no-targets\">尚未设置提醒地址。</p>\n");
    } else {
        body += QStringLiteral("<table id=\"targets\">\n<thead><tr><th>范围</th><th>地址</th><th>格式</th><th>签名密钥</th>")
            + (visitor.admin() ? QStringLiteral("<th></th>") : QString()) + QStringLiteral("</tr></thead>\n<tbody>\n");
        for (const AlertTarget &t : *targets) {
            body += QStringLiteral("<tr><td>") + (t.domain.isEmpty() ? QStringLiteral("全部域名") : esc(t.domain))
                + QStringLiteral("</td><td>") + esc(maskedAddress(t.address)) + QStringLiteral("</td><td>") + esc(t.format)
                + QStringLiteral("</td><td>") + (t.secret.isEmpty() ? QStringLiteral("—") : esc(maskSecret(t.secret)))
                + QStringLiteral("</td>");
            if (visitor.admin())
                body += QStringLiteral("<td><form class=\"inline\" method=\"post\" action=\"/settings/alerts/remove\">"
                                       "<input type=\"hidden\" name=\"id\" value=\"")
                    + digits(t.id) + QStringLiteral("\"><input type=\"hidden\" name=\"csrf\" value=\"") + QString::fromLatin1(visitor.csrf)
                    + QStringLiteral("\"><button type=\"submit\">删除</button></form></td>");
            body += QStringLiteral("</tr>\n");
        }
        body += QStringLiteral("</tbody>\n</table>\n");
    }
    if (visitor.admin()) {
        // The address and the secret are never put back into the form: they may hold a key.
        body += QStringLiteral("<h2>添加提醒地址</h2>\n<form method=\"post\" action=\"/settings/alerts\" id=\"add-target\">\n"
                               "<p><label>网址或邮件地址 <input name=\"address\" size=\"60\" required></label></p>\n"
                               "<p><label>格式 <select name=\"format\">")
            + formatChoice(format)
            + QStringLiteral("</select></label>（auto：按网址的主机选企业微信、钉钉、飞书或 Slack，其余为 json）</p>\n"
                             "<p><label>签名密钥（钉钉、飞书加签，可不填） <input name=\"secret\" type=\"password\" autocomplete=\"off\"></label></p>\n"
                             "<p><label>只用于域名（不填：全部域名） <input name=\"domain\" value=\"")
            + esc(domain) + QStringLiteral("\"></label></p>\n<input type=\"hidden\" name=\"csrf\" value=\"") + QString::fromLatin1(visitor.csrf)
            + QStringLiteral("\">\n<p><button type=\"submit\">添加</button></p>\n</form>\n");
    }
    return page(visitor, status, QStringLiteral("提醒设置"), body);
}

HttpResponse WebApp::addAlertTarget(const HttpRequest &request, const Visitor &visitor)
{
    const QUrlQuery form = formOf(request);
    const QString format = field(form, QStringLiteral("format"));
    const QString domain = field(form, QStringLiteral("domain"));
    const CheckedTarget checked = checkTarget(field(form, QStringLiteral("address")), format,
                                              field(form, QStringLiteral("secret")), domain);
    if (!checked.target)
        return alertsPage(visitor, 422, QStringLiteral("<p class=\"error\">未添加：") + esc(checked.reason) + QStringLiteral("</p>\n"),
                          format, domain);
    Outbox outbox(m_store);
    if (!outbox.addTarget(*checked.target))
        return storeFailure(outbox.errorString(), false);
    return alertsPage(visitor, 200, QStringLiteral("<p class=\"ok\">已添加 ") + esc(maskedAddress(checked.target->address))
                                        + QStringLiteral("。</p>\n"));
}

HttpResponse WebApp::removeAlertTarget(const HttpRequest &request, const Visitor &visitor)
{
    const auto id = idNamed(field(formOf(request), QStringLiteral("id")));
    if (!id)
        return alertsPage(visitor, 400, QStringLiteral("<p class=\"error\">未删除：编号无效。</p>\n"));
    Outbox outbox(m_store);
    const auto removed = outbox.removeTarget(*id);
    if (!removed)
        return storeFailure(outbox.errorString(), false);
    if (!*removed)
        return alertsPage(visitor, 404, QStringLiteral("<p class=\"error\">未删除：没有这个提醒地址。</p>\n"));
    return alertsPage(visitor, 200, QStringLiteral("<p class=\"ok\">已删除。</p>\n"));
}

HttpResponse WebApp::apiAlertTargets(const HttpRequest &request)
{
    Outbox outbox(m_store);
    if (request.method == "GET") {
        const auto targets = outbox.targets();
        if (!targets)
            return storeFailure(outbox.errorString(), true);
        QJsonArray array;
        for (const AlertTarget &t : *targets)
            array.append(targetJson(t));
        return jsonResponse(200, QJsonDocument(array));
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return jsonError(400, QStringLiteral("the body is not a JSON object"));
    const QJsonObject object = document.object();
    QString fields[4];
    const char *names[4] = {"address", "format", "secret", "domain"};
    for (int i = 0; i < 4; ++i) {
        const QJsonValue value = object.value(QLatin1String(names[i]));
        if (!value.isUndefined() && !value.isNull() && !value.isString())
            return jsonError(400, QStringLiteral("\"%1\" must be a string").arg(QLatin1String(names[i])));
        fields[i] = value.toString();
    }
    CheckedTarget checked = checkTarget(fields[0], fields[1], fields[2], fields[3]);
    if (!checked.target)
        return jsonError(422, checked.apiReason);
    const auto id = outbox.addTarget(*checked.target);
    if (!id)
        return storeFailure(outbox.errorString(), true);
    checked.target->id = *id;
    return jsonResponse(201, QJsonDocument(targetJson(*checked.target)));
}

HttpResponse WebApp::api(const HttpRequest &request, const QStringList &segments)
{
    // Every call names its user by a token.
    const QByteArray authorization = request.header("authorization");
    if (!authorization.startsWith("Bearer ") || authorization.size() <= 7)
        return jsonError(401, QStringLiteral("an API token is needed: Authorization: Bearer TOKEN"));
    Accounts accounts(m_store);
    const auto user = accounts.userOfToken(tokenHash(QString::fromLatin1(authorization.mid(7).trimmed())));
    if (!user)
        return storeFailure(accounts.errorString(), true);
    if (!*user)
        return jsonError(401, QStringLiteral("the API token is not valid"));
    const bool admin = (*user)->role == QLatin1String("admin");

    if (segments.isEmpty() || segments.first() != QLatin1String("v1"))
        return jsonError(404, QStringLiteral("no such API route"));
    const QStringList s = segments.mid(1);
    const QByteArray &method = request.method;
    const auto allow = [&method](std::initializer_list<const char *> methods) {
        for (const char *m : methods)
            if (method == m)
                return true;
        return false;
    };
    const auto notAllowed = [] { return jsonError(405, QStringLiteral("method not allowed")); };
    const auto forbidden = [] { return jsonError(403, QStringLiteral("this user may read but not change")); };

    if (s == QStringList{QStringLiteral("openapi.json")}) {
        if (!allow({"GET"}))
            return notAllowed();
        return jsonResponse(200, QJsonDocument(openApiDocument()));
    }
    if (s == QStringList{QStringLiteral("alerts"), QStringLiteral("targets")}) {
        if (!allow({"GET", "POST"}))
            return notAllowed();
        if (method == "POST" && !admin)
            return forbidden();
        return apiAlertTargets(request);
    }
    if (s == QStringList{QStringLiteral("queue")}) {
        if (!allow({"GET"}))
            return notAllowed();
        WorkQueue queue(m_store);
        const auto counts = queue.counts(m_clock());
        if (!counts)
            return storeFailure(queue.errorString(), true);
        return jsonResponse(200, QJsonDocument(QJsonObject{{QStringLiteral("waiting"), counts->waiting},
                                                           {QStringLiteral("working"), counts->working},
                                                           {QStringLiteral("expired"), counts->expired},
                                                           {QStringLiteral("done"), counts->done},
                                                           {QStringLiteral("refused"), counts->refused}}));
    }
    const auto recordOf = [this](const StoredAnalysis &a) -> std::optional<QJsonObject> {
        const auto sites = m_store.sites(a.id);
        if (!sites)
            return std::nullopt;
        return recordJson(a, *sites);
    };
    if (s == QStringList{QStringLiteral("domains")}) {
        if (method == "GET") {
            TrackedDomains tracked(m_store);
            QHash<qint64, QList<StoredSite>> latestSites;
            const auto rows = tracked.overview(1, nullptr, &latestSites, TrackedDomains::Changes::NotCounted);
            if (!rows)
                return storeFailure(tracked.errorString(), true);
            QJsonArray array;
            for (const TrackedDomains::Overview &o : *rows) {
                QJsonValue latest(QJsonValue::Null);
                if (!o.recent.isEmpty())
                    latest = recordJson(o.recent.constLast(), latestSites.value(o.recent.constLast().id));
                array.append(QJsonObject{{QStringLiteral("domain"), o.tracked.domain},
                                         {QStringLiteral("interval_hours"), o.tracked.intervalHours},
                                         {QStringLiteral("next_run"), o.tracked.nextRun.isValid() ? QJsonValue(isoDateTime(o.tracked.nextRun.toLocalTime()))
                                                                                                    : QJsonValue(QJsonValue::Null)},
                                         {QStringLiteral("latest"), latest}});
            }
            return jsonResponse(200, QJsonDocument(array));
        }
        if (method != "POST")
            return notAllowed();
        if (!admin)
            return forbidden();
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(request.body, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject())
            return jsonError(400, QStringLiteral("the body is not a JSON object"));
        const QJsonObject object = document.object();
        const QJsonValue list = object.value(QStringLiteral("domains"));
        if (!list.isArray())
            return jsonError(400, QStringLiteral("\"domains\" must be an array of domain names"));
        int interval = 24;
        if (object.contains(QStringLiteral("interval_hours"))) {
            const QJsonValue hours = object.value(QStringLiteral("interval_hours"));
            const double value = hours.toDouble(-1);
            if (!hours.isDouble() || value != double(qint64(value)) || value < 0 || value > kMaxIntervalHours)
                return jsonError(400, QStringLiteral("\"interval_hours\" must be a whole number from 0 to %1").arg(kMaxIntervalHours));
            interval = int(value);
        }
        const QJsonValue skipValue = object.value(QStringLiteral("skip_invalid"));
        if (!skipValue.isUndefined() && !skipValue.isBool())
            return jsonError(400, QStringLiteral("\"skip_invalid\" must be true or false"));
        QList<ListedLine> lines;
        const QJsonArray array = list.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (!array.at(i).isString())
                return jsonError(400, QStringLiteral("\"domains\" must be an array of domain names"));
            lines.append({int(i + 1), array.at(i).toString()});
        }
        const CheckedLines checked = checkLines(lines);
        if (!checked.invalid.isEmpty() && !skipValue.toBool()) {
            QJsonArray invalid;
            for (const auto &[number, reason] : checked.invalid)
                invalid.append(QJsonObject{{QStringLiteral("line"), number}, {QStringLiteral("reason"), reason}});
            return jsonError(422, QStringLiteral("%1 of the domains are not valid; nothing was added").arg(checked.invalid.size()),
                             {{QStringLiteral("lines"), invalid}});
        }
        if (checked.domains.isEmpty())
            return jsonError(422, QStringLiteral("no domain to add"), {{QStringLiteral("lines"), QJsonArray()}});
        TrackedDomains tracked(m_store);
        const auto added = tracked.track(checked.domains, interval, m_clock());
        if (!added || !tracked.queueDue(m_clock()))
            return storeFailure(tracked.errorString(), true);
        return jsonResponse(201, QJsonDocument(QJsonObject{{QStringLiteral("added"), QJsonArray::fromStringList(added->added)},
                                                           {QStringLiteral("already_tracked"), QJsonArray::fromStringList(added->alreadyTracked)}}));
    }
    if (s.size() == 2 && s.at(0) == QLatin1String("analyses")) {
        if (!allow({"GET"}))
            return notAllowed();
        const auto id = idNamed(s.at(1));
        if (!id)
            return jsonError(400, QStringLiteral("an analysis id is a positive whole number"));
        const auto found = m_store.analysis(*id);
        if (!found)
            return storeFailure(m_store.errorString(), true);
        if (!*found)
            return jsonError(404, QStringLiteral("no analysis %1").arg(*id));
        const auto record = recordOf(**found);
        if (!record)
            return storeFailure(m_store.errorString(), true);
        return jsonResponse(200, QJsonDocument(*record));
    }
    if (s.size() == 3 && s.at(0) == QLatin1String("domains")
        && (s.at(2) == QLatin1String("analyses") || s.at(2) == QLatin1String("analyse"))) {
        const bool listing = s.at(2) == QLatin1String("analyses");
        if (!allow({listing ? "GET" : "POST"}))
            return notAllowed();
        if (!listing && !admin)
            return forbidden();
        const auto domain = domainNamed(s.at(1));
        if (!domain)
            return jsonError(404, QStringLiteral("no such domain"));
        const auto isKnown = known(*domain);
        if (!isKnown)
            return storeFailure(m_store.errorString(), true);
        if (!*isKnown)
            return jsonError(404, QStringLiteral("%1 is neither tracked nor analysed").arg(*domain));
        if (!listing) {
            WorkQueue queue(m_store);
            const auto added = queue.add({*domain});
            if (!added)
                return storeFailure(queue.errorString(), true);
            return jsonResponse(202, QJsonDocument(QJsonObject{{QStringLiteral("queued"), *domain},
                                                               {QStringLiteral("already_waiting"), !added->alreadyWaiting.isEmpty()}}));
        }
        const auto list = m_store.analyses(*domain);
        if (!list)
            return storeFailure(m_store.errorString(), true);
        QJsonArray array;
        for (auto it = list->crbegin(); it != list->crend(); ++it) {
            const auto record = recordOf(*it);
            if (!record)
                return storeFailure(m_store.errorString(), true);
            array.append(*record);
        }
        return jsonResponse(200, QJsonDocument(array));
    }
    if (s == QStringList{QStringLiteral("diff")}) {
        if (!allow({"GET"}))
            return notAllowed();
        const DiffChoice c = chooseDiff(m_store, request.query);
        using Refusal = DiffChoice::Refusal;
        switch (c.refusal) {
        case Refusal::None: break;
        case Refusal::NoDomainGiven: return jsonError(400, QStringLiteral("domain= is missing"));
        case Refusal::NoSuchDomain: return jsonError(404, QStringLiteral("no such domain"));
        case Refusal::BadId: return jsonError(400, QStringLiteral("%1= takes an analysis id, a positive whole number").arg(c.idName));
        case Refusal::StoreFailed: return storeFailure(m_store.errorString(), true);
        case Refusal::NoAnalysis: return jsonError(404, QStringLiteral("%1 has no analysis").arg(c.domain));
        case Refusal::NeedTwoComplete: return jsonError(422, QStringLiteral("%1 needs two complete analyses, or their ids").arg(c.domain));
        case Refusal::NoneBefore: return jsonError(422, QStringLiteral("%1 has no complete analysis before %2").arg(c.domain).arg(c.id));
        case Refusal::NoSuchId: return jsonError(404, QStringLiteral("%1 has no analysis %2").arg(c.domain).arg(c.id));
        }
        return jsonResponse(200, QJsonDocument(diffJson(diffSites(c.sides[0], c.rows[0], c.sides[1], c.rows[1]))));
    }
    return jsonError(404, QStringLiteral("no such API route"));
}

} // namespace korvane
