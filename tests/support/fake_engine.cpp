#include "fake_engine.h"

#include "engine_pages.h"

#include <QFile>
#include <QLocale>
#include <QStringEncoder>

#include <algorithm>

namespace korvane::testing {

namespace {

constexpr int kMaxPages = 76;

struct Query
{
    QString domain;
    int pageIndex = -1; // -1: the query page (no pn)
};

std::optional<Query> parseQuery(const QByteArray &rawQuery)
{
    Query query;
    bool haveWord = false;
    for (const QByteArray &pair : rawQuery.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = pair.left(eq);
        const QString value = QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
        if (key == "wd" && value.startsWith(QStringLiteral("domain:"))) {
            query.domain = value.mid(7);
            haveWord = true;
        } else if (key == "pn") {
            bool ok = false;
            const int offset = value.toInt(&ok);
            if (!ok || offset < 0)
                return std::nullopt;
            query.pageIndex = offset / 10;
        }
    }
    if (!haveWord)
        return std::nullopt;
    return query;
}

QByteArray pageFile(const char *name)
{
    QFile file(QStringLiteral(KORVANE_TEST_DATA_DIR "/pages/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

FakeEngine::FakeEngine(QObject *parent) : QObject(parent)
{
    m_notice = {QStringLiteral("<a href=\"http://www.korvane.org/\" title=\"Korvane 主页\">官方网站</a>"),
                QStringLiteral("<a href=\"http://www.korvane.org/help\" title=\"使用帮助\">帮助</a>"),
                QStringLiteral("<input type=\"hidden\" id=\"VersionDesc\" value=\"0\">")};
    m_defaultDomain.total = 0;
    m_server.setHandler([this](const HttpTestServer::Request &request) { return answer(request); });
}

bool FakeEngine::start(quint16 port)
{
    return m_server.start(port);
}

QString FakeEngine::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.port());
}

void FakeEngine::setDomain(const QString &domain, const EngineDomain &config)
{
    m_domains.insert(domain, config);
}

void FakeEngine::setDefaultDomain(const EngineDomain &config)
{
    m_defaultDomain = config;
}

void FakeEngine::setNotice(const QStringList &bodyChildren, int status)
{
    m_notice = bodyChildren;
    m_noticeStatus = status;
}

int FakeEngine::distinctPageCount(const EngineDomain &config)
{
    if (config.distinctPages >= 0)
        return config.distinctPages;
    return std::min(kMaxPages, (std::max(config.total, 0) + 9) / 10);
}

QList<EngineEntry> FakeEngine::entries(const EngineDomain &config, int index)
{
    const int distinct = distinctPageCount(config);
    if (index >= distinct) {
        if (config.pastLast == EngineDomain::PastLast::RepeatLast && distinct > 0)
            return entries(config, distinct - 1);
        return {};
    }
    const int count = std::clamp(config.total - index * 10, 0, 10);
    QList<EngineEntry> list;
    for (int k = 0; k < count; ++k) {
        const int g = index * 10 + k;
        EngineEntry entry;
        entry.host = QStringLiteral("site%1.example.cn").arg(g % std::max(config.sites, 1));
        const QString path = QStringLiteral("/p%1/e%2.html").arg(index).arg(k);
        entry.address = entry.host + path;
        if (g % 7 == 3)
            entry.date = QStringLiteral("%1小时前").arg(1 + g % 23);
        else if (g % 11 == 5)
            entry.date = QStringLiteral("%1分钟前").arg(1 + g % 59);
        else
            entry.date = QStringLiteral("20%1-%2-%3").arg(10 + g % 2).arg(1 + g % 12).arg(1 + g % 28);

        QString shown = entry.address;
        if (g % 5 == 0) // the matched host in bold
            shown = QStringLiteral("<b>") + entry.host + QStringLiteral("</b>") + path;
        if (g % 13 == 12) // a long address cut short
            shown = entry.host + QStringLiteral("/p%1 ...").arg(index);
        entry.line = addressLine(shown, entry.date);
        if (g % 13 == 12 && g % 2 == 1) // cut, two blanks after the mark, none at the end
            entry.line = shown + QStringLiteral("  ") + entry.date;
        else if (g % 17 == 16) // a line break and a tab where the blanks are
            entry.line = shown + QStringLiteral("\n") + entry.date + QStringLiteral("\t ");
        if (config.brokenPages.contains(index) && k == 2)
            entry.line = entry.host;
        list.append(entry);
    }
    return list;
}

QString FakeEngine::pageHtml(const EngineDomain &config, int index)
{
    QStringList lines;
    for (const EngineEntry &entry : entries(config, index))
        lines.append(entry.line);
    std::optional<QString> total;
    if (config.pageBar) {
        QLocale grouped = QLocale::c();
        grouped.setNumberOptions({}); // "4,050", as the engine writes it
        total = config.totalText ? *config.totalText : totalText(grouped.toString(config.total));
    }
    return resultsPage(lines, total, config.gb2312 ? QStringLiteral("gb2312") : QStringLiteral("utf-8"));
}

QList<int> FakeEngine::requestedOffsets() const
{
    QList<int> offsets;
    for (const HttpTestServer::Request &request : m_server.requests()) {
        if (request.path() != QLatin1String("/s"))
            continue;
        if (const auto query = parseQuery(request.query()))
            offsets.append(query->pageIndex < 0 ? -1 : query->pageIndex * 10);
    }
    return offsets;
}

HttpTestServer::Response FakeEngine::refusal(EngineDomain::Refusal how) const
{
    using Response = HttpTestServer::Response;
    switch (how) {
    case EngineDomain::Refusal::CaptchaRedirect:
        return Response::redirect(
            origin().toUtf8()
            + "/static/captcha/tuxing.html?&ak=00000000000000000000000000000000"
              "&backurl=http%3A%2F%2F127.0.0.1%2Fs%3Fwd%3Ddomain%253Aexample.com"
              "&timestamp=1324000000&signature=0123456789abcdef");
    case EngineDomain::Refusal::SecurityPage:
        return Response::html(pageFile("verify_security.html"));
    case EngineDomain::Refusal::AccessErrorPage:
        // Labelled only inside the page, as the engine's old pages were.
        return Response::html(pageFile("verify_access_error_gb2312.html"), QByteArrayLiteral("text/html"));
    }
    return Response::error(500);
}

HttpTestServer::Response FakeEngine::answer(const HttpTestServer::Request &request) const
{
    using Response = HttpTestServer::Response;
    if (request.path() == QLatin1String("/ad/Korvane.php")) {
        if (m_noticeStatus >= 400)
            return Response::error(m_noticeStatus);
        return Response::html(noticePage(m_notice).toUtf8());
    }
    if (request.path() != QLatin1String("/s"))
        return Response::error(404);
    const auto query = parseQuery(request.query());
    if (!query)
        return Response::error(400);

    EngineDomain config = m_domains.value(query->domain, m_defaultDomain);
    const int index = std::max(query->pageIndex, 0);
    Response response;
    if (config.refusals.contains(query->pageIndex)) {
        response = refusal(config.refusals.value(query->pageIndex));
    } else if (config.httpErrors.contains(query->pageIndex)) {
        response = Response::error(config.httpErrors.value(query->pageIndex));
    } else if (config.customAnswers.contains(index)) {
        response = config.customAnswers.value(index)(request, pageHtml(config, index % kMaxPages));
    } else {
        const QString html = pageHtml(config, index % kMaxPages);
        if (config.gb2312) {
            QStringEncoder encoder("GB18030");
            response = Response::html(encoder.encode(html), QByteArrayLiteral("text/html; charset=gb2312"));
        } else {
            response = Response::html(html.toUtf8());
        }
        if (config.faults.contains(index))
            response.endingWith(config.faults.value(index));
    }
    response.after(config.delay);
    return response;
}

} // namespace korvane::testing
