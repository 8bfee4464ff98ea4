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

// "2011-7-9" as the later pages write it: "2011年7月9日".
QString chineseDate(const QString &date)
{
    const QStringList parts = date.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return date;
    return parts.at(0) + QStringLiteral("年") + parts.at(1) + QStringLiteral("月") + parts.at(2) + QStringLiteral("日");
}

// Turns an entry of the 2011 pages into what a later layout shows for it: dates in that
// year's forms (or none), addresses cut with "...", with a scheme, or a site name instead.
void toLaterLayout(EngineEntry &entry, int layout, int g, int index, int k)
{
    if (layout >= 2018) {
        if (g % 19 == 7)
            entry.date = QStringLiteral("%1天前").arg(1 + g % 6);
        else if (entry.date.contains(QLatin1Char('-')))
            entry.date = chineseDate(entry.date);
    }
    if (layout >= 2021 && g % 3 == 1)
        entry.date.clear(); // many results show no date
    QString effective = entry.address;
    entry.shown = entry.address;
    if (g % 13 == 12) {
        effective = entry.host + QStringLiteral("/p%1/e...").arg(index);
        entry.shown = effective;
    } else if (layout == 2026 && g % 4 == 1) {
        static const QStringList names{QStringLiteral("GitHub"), QStringLiteral("腾讯云计算"), QStringLiteral("百度百科")};
        entry.shown = names.at(g % 3);
        entry.target = QStringLiteral("https://") + entry.address;
    } else if ((layout == 2018 || layout == 2021) && g % 6 == 2) {
        entry.shown = (layout == 2018 ? QStringLiteral("https://") : QStringLiteral("http://")) + entry.address;
    } else if (layout == 2018 && g % 9 == 4) {
        entry.shown = QStringLiteral("百度知道"); // a site name, and no mu to name the target
        effective = entry.shown;
    }
    if (layout == 2026 && entry.target.isEmpty())
        entry.target = QStringLiteral("https://") + entry.address + QStringLiteral("?from=%1").arg(k);
    if (layout == 2026 && g % 13 != 12 && g % 11 == 3) {
        // The host itself cut short, "…" or "...".
        entry.shown = entry.host.left(entry.host.size() - 2) + (g % 2 ? QStringLiteral("…") : QStringLiteral("..."));
        effective = entry.shown;
    }
    // 2026: the block's own target stands in for a cut address.
    if (layout == 2026 && (effective.endsWith(QLatin1String("...")) || effective.endsWith(QChar(0x2026))))
        effective = entry.target.mid(entry.target.indexOf(QLatin1String("://")) + 3);
    entry.line = addressLine(effective, entry.date);
}

QString laterResult(const EngineEntry &entry, int layout, int id, int g)
{
    const QString link = QStringLiteral("http://www.baidu.com/link?url=k%1x%2").arg(id).arg(g);
    const QString title = QStringLiteral("<h3 class=\"t\"><a href=\"%1\" target=\"_blank\">结果标题 %2</a></h3>").arg(link).arg(g);
    const QString nbsp = QStringLiteral("&nbsp;");
    if (layout == 2015) {
        return QStringLiteral("<div class=\"result c-container \" id=\"%1\" srcid=\"1599\" tpl=\"se_com_default\">").arg(id)
            + title + QStringLiteral("<div class=\"c-abstract\">这是摘要文字 %1</div>").arg(g)
            + QStringLiteral("<div class=\"f13\"><span class=\"g\">") + entry.shown + nbsp
            + (entry.date.isEmpty() ? QString() : entry.date + nbsp)
            + QStringLiteral("</span><div class=\"c-tools\" id=\"tools_%1\"><a class=\"c-tip-icon\"><i class=\"c-icon\"></i></a></div>"
                             " - <a class=\"m\" href=\"http://cache.baiducontent.com/c?m=%1\">百度快照</a></div></div>\n").arg(id);
    }
    if (layout == 2018 || layout == 2021) {
        QString shown = entry.shown;
        if (!shown.contains(QLatin1Char('.')))
            shown = QStringLiteral("<style>.source-icon{width:16px;height:16px;display:inline-block}</style>"
                                   "<img class=\"source-icon\" src=\"http://img.example.cn/i.png\">") + shown;
        else if (g % 5 == 0)
            shown = QStringLiteral("<b>") + entry.host + QStringLiteral("</b>") + shown.mid(shown.indexOf(entry.host) + entry.host.size());
        const QString footer = layout == 2018 ? QStringLiteral("f13") : QStringLiteral("f13 c-gap-top-xsmall se_st_footer user-avatar");
        const QString showUrl = layout == 2018 ? QStringLiteral("c-showurl") : QStringLiteral("c-showurl c-color-gray");
        const QString time = entry.date.isEmpty() ? QString()
            : QStringLiteral("<span class=\" newTimeFactor_before_abs m\">") + entry.date + nbsp + QStringLiteral("-") + nbsp + QStringLiteral("</span>");
        return QStringLiteral("<div class=\"result c-container \" id=\"%1\" srcid=\"1599\" tpl=\"se_com_default\">").arg(id)
            + title + QStringLiteral("<div class=\"c-abstract\">") + time + QStringLiteral("这是摘要文字 %1</div>").arg(g)
            + QStringLiteral("<div class=\"%1\"><a target=\"_blank\" href=\"%2\" class=\"%3\" style=\"text-decoration:none;\">")
                  .arg(footer, link, showUrl)
            + shown + nbsp
            + QStringLiteral("</a><div class=\"c-tools\"><a class=\"c-tip-icon\"><i class=\"c-icon\"></i></a></div>"
                             " - <a class=\"m\" href=\"http://cache.baiducontent.com/c?m=%1\">百度快照</a></div></div>\n").arg(id);
    }
    // 2026: deep card markup, hashed class suffixes, the target in mu.
    const QString time = entry.date.isEmpty() ? QString()
        : QStringLiteral("<span class=\"cos-space-mr-3xs cos-color-text-minor prefix-time_650Xx click-area-exp-inline\">")
            + entry.date + QStringLiteral("</span>");
    return QStringLiteral("<div class=\"result c-container xpath-log new-pmd\" srcid=\"1599\" id=\"%1\" tpl=\"www_index\" mu=\"%2\">")
               .arg(id).arg(entry.target)
        + QStringLiteral("<div class=\"c-container_Ab12x\"><h3 class=\"title_4QsBx\"><a href=\"%1\">结果标题 %2</a></h3>").arg(link).arg(g)
        + QStringLiteral("<div class=\"summary-text_560AW\">") + time
        + (g == 2 ? QStringLiteral("<span>为什么没有找到与示例相关的网页？</span></div>") // words of the "nothing found" page
                  : QStringLiteral("<span>这是摘要文字 %1</span></div>").arg(g))
        + QStringLiteral("<div class=\"cosc-card-footer footer_3kT1w\" data-module=\"source\"><a class=\"cosc-source-a cosc-source-link\" href=\"%1\">"
                         "<span class=\"cosc-source-text cos-line-clamp-1\">").arg(link)
        + entry.shown + QStringLiteral("</span></a></div></div></div>\n");
}

// A card among the results: no address line, a nested container.
QString laterCard()
{
    return QStringLiteral("<div class=\"result-op c-container xpath-log\" tpl=\"bk_polysemy\" mu=\"https://baike.example.cn/item/x\">"
                          "<div class=\"c-container\"><h3 class=\"t\"><a href=\"http://baike.example.cn/item/x\">示例_百科</a></h3>"
                          "<p>示例是一个词条。</p><div class=\"f13\">baike.example.cn</div></div></div>\n");
}

// 2026: an answer box whose target is the engine's placeholder; it shows an address line, in
// the results' own markup, and is no result.
QString placeholderCard(int index)
{
    EngineEntry entry;
    entry.target = QStringLiteral("http://nourl.ubs.baidu.com/%1").arg(51270 + index);
    entry.shown = index % 2 ? QStringLiteral("百度百科") : QStringLiteral("answer.example.cn/box/%1").arg(index);
    entry.date = QStringLiteral("2025年3月3日");
    return laterResult(entry, 2026, 900 + index, 3);
}

QString laterPager(const QString &domain, int layout, int index, bool hasNext)
{
    const QString query = QStringLiteral("/s?wd=domain%3A") + domain;
    QString items;
    for (int p = std::max(0, index - 2); p <= index + (hasNext ? 1 : 0); ++p) {
        if (p == index)
            items += QStringLiteral("<strong><span class=\"pc\">%1</span></strong>").arg(p + 1);
        else
            items += QStringLiteral("<a href=\"%1&pn=%2\"><span class=\"pc\">%3</span></a>").arg(query).arg(p * 10).arg(p + 1);
    }
    if (layout == 2026) {
        if (hasNext)
            items += QStringLiteral("<a class=\"n next_d-g2R\" href=\"%1&pn=%2\">下一页 &gt;</a>").arg(query).arg((index + 1) * 10);
        return QStringLiteral("<div id=\"page\" class=\"page_2muyV\"><div class=\"page-inner_2jZi2\">") + items + QStringLiteral("</div></div>\n");
    }
    if (hasNext)
        items += QStringLiteral("<a class=\"n\" href=\"%1&pn=%2\">下一页&gt;</a>").arg(query).arg((index + 1) * 10);
    return QStringLiteral("<div id=\"page\">") + items + QStringLiteral("</div>\n");
}

QString laterTotal(int layout, const QString &number)
{
    const QString text = QStringLiteral("百度为您找到相关结果约") + number + QStringLiteral("个");
    if (layout == 2015)
        return QStringLiteral("<div class=\"nums\">") + text + QStringLiteral("</div>\n");
    if (layout == 2026)
        return QStringLiteral("<div class=\"hint_Xy3k0\">百度为您找到以下结果</div>\n");
    return QStringLiteral("<div class=\"%1\"><div class=\"search_tool\">搜索工具</div><span class=\"nums_text\">")
               .arg(layout == 2021 ? QStringLiteral("nums new_nums") : QStringLiteral("nums"))
        + text + QStringLiteral("</span></div>\n");
}

QString laterPage(const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\">"
                          "<title>domain_百度搜索</title></head><body>\n<div id=\"wrapper\"><div id=\"head\">"
                          "<form id=\"form\" name=\"f\" action=\"/s\"><input id=\"kw\" name=\"wd\" maxlength=\"255\">"
                          "<input type=\"submit\" id=\"su\" value=\"百度一下\"></form></div>\n")
        + body + QStringLiteral("</div></body></html>\n");
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
        else if (config.layout != 2011)
            toLaterLayout(entry, config.layout, g, index, k);
        list.append(entry);
    }
    return list;
}

QString FakeEngine::pageHtml(const EngineDomain &config, int index)
{
    if (config.unknownLayout) {
        // Another search template of the engine: a TABLE per result, the address in green
        // FONT, the count in a grey row. No page bar, no nums, no address-line SPAN.
        QString body = QStringLiteral("<table class=\"head\"><tr><td><form action=\"/s\"><input name=\"wd\"></form></td></tr></table>\n");
        for (const EngineEntry &entry : entries(config, index))
            body += QStringLiteral("<table class=\"result\"><tr><td><a href=\"http://%1\">%1</a><br><font size=-1>摘要<br>"
                                   "<font color=#008000>%2/&nbsp;89K&nbsp;2015-10-9&nbsp;</font></font></td></tr></table>\n")
                        .arg(entry.address, entry.host);
        body += QStringLiteral("<table><tr><td style=\"color:#666\">百度为您找到相关网页%1篇。</td></tr></table>\n").arg(config.total);
        return QStringLiteral("<html><head><meta charset=\"utf-8\"><title>百度搜索</title></head><body>") + body
            + QStringLiteral("</body></html>\n");
    }
    if (config.noResults && config.layout == 2011)
        return resultsPage({}, std::nullopt).replace(
            QStringLiteral("<div id=\"rs\">"),
            QStringLiteral("<div id=\"noresult\">抱歉，没有找到与“domain”相关的网页。</div>\n<div id=\"rs\">"));
    if (config.layout != 2011) {
        if (config.noResults)
            return laterPage(QStringLiteral("<div id=\"content_left\"><div class=\"content_none\"><div class=\"nors\">"
                                            "<p>很抱歉，没有找到与<span style=\"font-family:宋体\">“</span><em>domain</em>"
                                            "<span style=\"font-family:宋体\">”</span>相关的网页。</p></div></div></div>\n"));
        QLocale grouped = QLocale::c();
        grouped.setNumberOptions({});
        QString body = laterTotal(config.layout, grouped.toString(config.total))
            + QStringLiteral("<div id=\"content_left\">\n");
        int id = index * 10 + 1;
        const QList<EngineEntry> list = entries(config, index);
        for (qsizetype k = 0; k < list.size(); ++k) {
            if (k == 3)
                body += laterCard();
            if (config.layout == 2026 && k == 6)
                body += placeholderCard(index);
            body += laterResult(list.at(k), config.layout, id++, int(index * 10 + k));
        }
        body += QStringLiteral("</div>\n");
        // The pager follows the total; pages past the last distinct one repeat it, pager and all.
        const bool hasNext = list.size() == 10 && index + 1 < std::min(kMaxPages, (config.total + 9) / 10);
        body += laterPager(QStringLiteral("x"), config.layout, index, hasNext);
        return laterPage(body);
    }
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
