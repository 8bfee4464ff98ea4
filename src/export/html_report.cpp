#include "html_report.h"

#include "chart.h"
#include "markup.h"

#include <QCryptographicHash>
#include <QHash>
#include <QMap>

#include <algorithm>
#include <numeric>

namespace korvane {

namespace {

// The page's style sheet. Charts take their colours from here (the SVG has no style attribute).
const QString &styleSheet()
{
    static const QString css = QStringLiteral(
        "body{font-family:\"Noto Sans CJK SC\",\"Noto Sans SC\",\"Microsoft YaHei\",\"PingFang SC\",sans-serif;"
        "color:#222;background:#fff;margin:24px auto;max-width:1100px;padding:0 16px;line-height:1.45}"
        "h1{font-size:22px;margin:0 0 12px}h2{font-size:18px;margin:32px 0 10px}"
        "h2,h3{border-bottom:1px solid #ddd;padding-bottom:4px}h3{font-size:16px;margin:24px 0 8px}"
        "section{margin-top:40px}"
        "dl.facts{display:grid;grid-template-columns:max-content 1fr;gap:2px 18px;margin:0}"
        "dl.facts dt{color:#666}dl.facts dd{margin:0}"
        "p.notice{padding:8px 12px;background:#fff4e0;border-left:4px solid #e0a030}"
        "p.key{color:#555;font-size:13px}"
        "table{border-collapse:collapse;font-size:13px;margin:6px 0}"
        "th,td{border-bottom:1px solid #e6e6e6;padding:3px 10px;text-align:left;vertical-align:top}"
        "th{background:#f4f6f8;position:sticky;top:0}th[data-k]{cursor:pointer}"
        "th[aria-sort=ascending]::after{content:\" \\25B2\"}th[aria-sort=descending]::after{content:\" \\25BC\"}"
        "td{overflow-wrap:anywhere}"
        "table.sites td:nth-child(2),table.history td:nth-child(n+5),table.changes td:nth-child(2),table.changes td:nth-child(3){text-align:right;font-variant-numeric:tabular-nums}"
        "tbody.more{display:none}input.all:checked~table tbody.more{display:table-row-group}"
        "ul.sites{columns:3 18em;font-size:13px}"
        "svg.chart{display:block;max-width:100%;height:auto;margin:8px 0}"
        "svg text{font-size:12px;fill:#333}"
        ".axis{stroke:#777;stroke-width:1}.grid{stroke:#e4e4e4;stroke-width:1}"
        ".bar{fill:#4a7fc1}.column{fill:#5a9e6f}.bar:hover,.column:hover{fill:#e0a030}"
        "polyline.s0,polyline.s1,line.s0,line.s1{fill:none;stroke-width:2}"
        ".s0{stroke:#4a7fc1;fill:#4a7fc1}.s1{stroke:#d0603a;fill:#d0603a}"
        "circle.hollow{fill:#fff;stroke-width:2}"
        "@media print{tbody.more{display:table-row-group}input.all,input.all+label{display:none}}");
    return css;
}

// Sorting by a click (or Enter) on a column heading: text A to Z first, numbers and dates
// largest first, a second click turns it round. Dates order as the report does: a relative
// date ("N小时前", "N分钟前") is later than any calendar date, an unrecognised one counts as
// 1980-08-13. Folded rows stay folded: after sorting, the first rows are again the shown ones.
const QString &script()
{
    static const QString js = QStringLiteral(
        "(function(){'use strict';var SHOWN=%1;"
        "function dk(s){var m;if(s.indexOf('-')>=0){m=/(\\d+)-(\\d+)-(\\d+)/.exec(s);"
        "return m?(+m[1])*1e4+(+m[2])*100+(+m[3]):0;}"
        "m=/(\\d+)\\u5c0f\\u65f6/.exec(s);if(m)return 1e12-m[1]*60;"
        "m=/(\\d+)\\u5206\\u949f/.exec(s);if(m)return 1e12-m[1];return 19800813;}"
        "function key(k,s){if(k==='n'){var v=parseFloat(s);return isNaN(v)?-1:v;}return k==='d'?dk(s):s;}"
        "function sort(t,c,i){var k=c.getAttribute('data-k'),was=c.getAttribute('aria-sort'),"
        "asc=was?was!=='ascending':k==='s',hs=t.tHead.rows[0].cells,bs=t.tBodies,rows=[],j,b;"
        "for(j=0;j<hs.length;j++)hs[j].removeAttribute('aria-sort');"
        "c.setAttribute('aria-sort',asc?'ascending':'descending');"
        "for(b=0;b<bs.length;b++)for(j=0;j<bs[b].rows.length;j++)rows.push(bs[b].rows[j]);"
        "var e=rows.map(function(r,n){return[key(k,r.cells[i]?r.cells[i].textContent:''),n,r];});"
        "e.sort(function(x,y){var d=x[0]<y[0]?-1:x[0]>y[0]?1:0;return(asc?d:-d)||x[1]-y[1];});"
        "var f=document.createDocumentFragment(),g=document.createDocumentFragment();"
        "e.forEach(function(x,n){(n<SHOWN||bs.length<2?f:g).appendChild(x[2]);});"
        "bs[0].appendChild(f);if(bs.length>1)bs[1].appendChild(g);}"
        "var ts=document.querySelectorAll('table.sortable');"
        "Array.prototype.forEach.call(ts,function(t){Array.prototype.forEach.call(t.tHead.rows[0].cells,function(c,i){"
        "if(!c.hasAttribute('data-k'))return;c.tabIndex=0;"
        "c.addEventListener('click',function(){sort(t,c,i);});"
        "c.addEventListener('keydown',function(ev){if(ev.key==='Enter')sort(t,c,i);});});});})();")
                                  .arg(kHtmlRowsShown);
    return js;
}

QString sha256Source(const QString &text)
{
    return QStringLiteral("'sha256-")
        + QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64())
        + QLatin1Char('\'');
}

// Nothing may be fetched: no image, font, frame, connection or form target; only this page's
// own style sheet and script, named by their hashes, may apply.
const QString &contentSecurityPolicy()
{
    static const QString policy = QStringLiteral("default-src 'none'; style-src ") + sha256Source(styleSheet())
        + QStringLiteral("; script-src ") + sha256Source(script())
        + QStringLiteral("; base-uri 'none'; form-action 'none'");
    return policy;
}

QByteArray page(const QString &title, const QString &body)
{
    QString out;
    out.reserve(body.size() + styleSheet().size() + script().size() + 1024);
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta http-equiv=\"Content-Security-Policy\" content=\"")
        + contentSecurityPolicy()
        + QStringLiteral("\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
                         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    appendEscaped(out, title);
    out += QStringLiteral("</title>\n<style>") + styleSheet() + QStringLiteral("</style>\n</head>\n<body>\n");
    out += body;
    out += QStringLiteral("<script>") + script() + QStringLiteral("</script>\n</body>\n</html>\n");
    return out.toUtf8();
}

QString dash() { return QStringLiteral("—"); }

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : dash();
}

QString optionalDigits(const std::optional<qint64> &value) { return value ? digits(*value) : dash(); }

void appendFact(QString &out, const QString &name, const QString &value)
{
    out += QStringLiteral("<dt>") + name + QStringLiteral("</dt><dd>");
    appendEscaped(out, value);
    out += QStringLiteral("</dd>\n");
}

// Column headings of a sortable table: kind s (text), n (number) or d (date) each.
void appendHead(QString &out, const QList<std::pair<QString, char>> &columns)
{
    out += QStringLiteral("<thead><tr>");
    for (const auto &[name, kind] : columns)
        out += QStringLiteral("<th data-k=\"") + QLatin1Char(kind) + QStringLiteral("\">") + name + QStringLiteral("</th>");
    out += QStringLiteral("</tr></thead>\n");
}

// A body row; the end tags of cells and rows are left out, as HTML allows, to keep a large
// table small.
void appendRow(QString &out, std::initializer_list<QStringView> cells)
{
    out += QStringLiteral("<tr>");
    for (const QStringView cell : cells) {
        out += QStringLiteral("<td>");
        appendEscaped(out, cell);
    }
    out += QLatin1Char('\n');
}

// The figure of the report's 外链总数 for this analysis: the engine's total, or the entries read
// when its pages show no total; none when no total was read at all.
std::optional<qint64> totalOf(const FinishedAnalysis &analysis)
{
    if (analysis.record.WalkWithoutTotal)
        return analysis.record.EntriesRead;
    return analysis.engineTotal();
}

QString topSitesChart(const FinishedAnalysis &analysis, qsizetype rows)
{
    const AnalysisRecord &r = analysis.record;
    QList<int> order(rows);
    std::iota(order.begin(), order.end(), 1);
    const qsizetype shown = std::min<qsizetype>(rows, kHtmlTopSites);
    // Most links first; equal counts keep the report's order.
    std::partial_sort(order.begin(), order.begin() + shown, order.end(), [&r](int a, int b) {
        const qint32 ca = r.SiteLinkCounts.at(a), cb = r.SiteLinkCounts.at(b);
        return ca != cb ? ca > cb : a < b;
    });
    QList<chart::Bar> bars;
    for (qsizetype i = 0; i < shown; ++i) {
        const int row = order.at(i);
        const qint32 links = r.SiteLinkCounts.at(row);
        bars.append({r.SiteNames.at(row), links, r.SiteNames.at(row) + QStringLiteral("：") + digits(links)
                                                      + QStringLiteral(" 条外链")});
    }
    return chart::horizontalBars(bars, QStringLiteral("外链数量（条）"), QStringLiteral("top"));
}

// The sites by the month of their latest date: one column per month from the earliest to the
// latest (by year when that spans more than ten years), then "最近" for relative dates and
// "未知" for dates that are not a real calendar date.
QString datesChart(const FinishedAnalysis &analysis, qsizetype rows)
{
    const AnalysisRecord &r = analysis.record;
    // isoDateOf says what a date is: a calendar date gives "YYYY-MM-DD", a relative one a
    // longer time, anything else nothing. Any fixed start serves to tell them apart.
    const QDateTime anyStart = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    QHash<QString, int> kindOf; // date text -> month index (year * 12 + month - 1), -1 recent, -2 unknown
    QMap<int, int> months;
    int recent = 0, unknown = 0;
    for (qsizetype row = 1; row <= rows; ++row) {
        const QString &date = r.SiteLatestDates.at(row);
        auto known = kindOf.constFind(date);
        if (known == kindOf.cend()) {
            const QString iso = isoDateOf(date, anyStart);
            int kind = -2;
            if (iso.size() == 10)
                kind = iso.left(4).toInt() * 12 + iso.mid(5, 2).toInt() - 1;
            else if (!iso.isEmpty())
                kind = -1;
            known = kindOf.insert(date, kind);
        }
        if (*known == -1)
            ++recent;
        else if (*known == -2)
            ++unknown;
        else
            ++months[*known];
    }

    QList<chart::Bar> bars;
    const auto add = [&bars](const QString &label, qint64 count) {
        bars.append({label, count, label + QStringLiteral("：") + digits(count) + QStringLiteral(" 个站点")});
    };
    QString caption = QStringLiteral("最新外链日期（月）");
    if (!months.isEmpty()) {
        const int first = months.firstKey(), last = months.lastKey();
        if (last - first < 120) {
            for (int m = first; m <= last; ++m)
                add(QStringLiteral("%1-%2").arg(m / 12, 4, 10, QLatin1Char('0')).arg(m % 12 + 1, 2, 10, QLatin1Char('0')),
                    months.value(m));
        } else {
            caption = QStringLiteral("最新外链日期（年）");
            QMap<int, qint64> years;
            for (auto it = months.cbegin(); it != months.cend(); ++it)
                years[it.key() / 12] += it.value();
            for (int y = first / 12; y <= last / 12; ++y)
                add(QStringLiteral("%1").arg(y, 4, 10, QLatin1Char('0')), years.value(y));
        }
    }
    if (recent > 0)
        add(QStringLiteral("最近"), recent);
    if (unknown > 0)
        add(QStringLiteral("未知"), unknown);
    return chart::columns(bars, QStringLiteral("站点数（个）"), caption, QStringLiteral("dates"));
}

void appendSiteTable(QString &out, const FinishedAnalysis &analysis, qsizetype rows, const QString &id)
{
    const AnalysisRecord &r = analysis.record;
    if (rows > kHtmlRowsShown) {
        out += QStringLiteral("<input type=\"checkbox\" class=\"all\" id=\"all-") + id
            + QStringLiteral("\"><label for=\"all-") + id + QStringLiteral("\">显示全部 ") + digits(rows)
            + QStringLiteral(" 个站点（表中先显示前 ") + digits(kHtmlRowsShown) + QStringLiteral(" 个）</label>\n");
    }
    out += QStringLiteral("<table class=\"sites sortable\">\n");
    appendHead(out, {{QStringLiteral("域名"), 's'},
                     {QStringLiteral("外链数量"), 'n'},
                     {QStringLiteral("最新外链日期"), 'd'},
                     {QStringLiteral("最新外链地址"), 's'}});
    out += QStringLiteral("<tbody>\n");
    for (qsizetype row = 1; row <= rows; ++row) {
        if (row == kHtmlRowsShown + 1)
            out += QStringLiteral("</tbody>\n<tbody class=\"more\">\n");
        const QString count = digits(r.SiteLinkCounts.at(row));
        appendRow(out, {r.SiteNames.at(row), count, r.SiteLatestDates.at(row), r.SiteLatestUrls.at(row)});
    }
    out += QStringLiteral("</tbody>\n</table>\n");
}

// One analysis: its heading at `level` (1 on its own page, 2 in a batch), its sub-headings
// one below.
void appendAnalysis(QString &out, const FinishedAnalysis &analysis, int level, const QString &id)
{
    const QString h = QStringLiteral("h") + QString::number(level);
    const QString sub = QStringLiteral("h") + QString::number(level + 1);
    out += QLatin1Char('<') + h + QLatin1Char('>') + QStringLiteral("对域名");
    appendEscaped(out, analysis.domain);
    out += QStringLiteral("的分析结果</") + h + QStringLiteral(">\n<dl class=\"facts\">\n");
    const qsizetype rows = reportRowCount(analysis);
    appendFact(out, QStringLiteral("外链总数"), optionalDigits(totalOf(analysis)));
    appendFact(out, QStringLiteral("站点数量"), analysis.hasReport() ? digits(rows) : dash());
    appendFact(out, QStringLiteral("结果"), outcomeLabel(outcomeName(analysis.outcome())));
    appendFact(out, QStringLiteral("状态"), analysis.status);
    appendFact(out, QStringLiteral("开始时间"), timeText(analysis.startedAt));
    appendFact(out, QStringLiteral("结束时间"), timeText(analysis.finishedAt));
    appendFact(out, QStringLiteral("搜索引擎"), analysis.engine);
    out += QStringLiteral("</dl>\n");
    // Anything but a clean, complete analysis says so above the figures.
    if (analysis.outcome() != AnalysisOutcome::Complete || rows == 0) {
        out += QStringLiteral("<p class=\"notice\">");
        if (analysis.outcome() == AnalysisOutcome::Stopped)
            out += QStringLiteral("分析未完成，没有报告。");
        else
            appendEscaped(out, analysis.status);
        if (rows > 0)
            out += QStringLiteral("（以下只含此前读到的结果）");
        out += QStringLiteral("</p>\n");
    }
    if (rows == 0)
        return;
    const qsizetype top = std::min<qsizetype>(rows, kHtmlTopSites);
    const QString topCount = rows > top ? QStringLiteral(" ") + digits(top) + QStringLiteral(" 个") : QString();
    out += QLatin1Char('<') + sub + QStringLiteral(">外链最多的") + topCount + QStringLiteral("站点</") + sub
        + QStringLiteral(">\n");
    out += topSitesChart(analysis, rows) + QLatin1Char('\n');
    out += QLatin1Char('<') + sub + QStringLiteral(">最新外链日期分布</") + sub + QStringLiteral(">\n");
    out += datesChart(analysis, rows) + QLatin1Char('\n');
    out += QLatin1Char('<') + sub + QStringLiteral(">明细</") + sub + QStringLiteral(">\n");
    appendSiteTable(out, analysis, rows, id);
}

QString historyChart(const HistoryReport &history)
{
    chart::Series totals{QStringLiteral("外链总数"), QStringLiteral("条"), {}};
    chart::Series sites{QStringLiteral("站点数量"), QStringLiteral("个"), {}};
    for (const HistoryPoint &p : history.analyses) {
        if (!p.startedAt.isValid())
            continue;
        const qint64 time = p.startedAt.toMSecsSinceEpoch();
        const bool complete = p.outcome == outcomeName(AnalysisOutcome::Complete);
        const QString when = p.startedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const QString outcome = QStringLiteral("（") + outcomeLabel(p.outcome) + QStringLiteral("）");
        if (p.engineTotal)
            totals.points.append({time, *p.engineTotal, complete,
                                  when + QStringLiteral(" 外链总数 ") + digits(*p.engineTotal) + outcome});
        if (p.sites)
            sites.points.append({time, *p.sites, complete, when + QStringLiteral(" 站点数量 ") + digits(*p.sites) + outcome});
    }
    return chart::timeLines({totals, sites}, QStringLiteral("分析开始时间"),
                            [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd")); },
                            QStringLiteral("history"));
}

void appendSiteList(QString &out, const QString &heading, const QStringList &sites)
{
    out += QStringLiteral("<h3>") + heading + QStringLiteral("（") + digits(sites.size()) + QStringLiteral(" 个）</h3>\n");
    if (sites.isEmpty()) {
        out += QStringLiteral("<p>无</p>\n");
        return;
    }
    out += QStringLiteral("<ul class=\"sites\">\n");
    for (const QString &site : sites) {
        out += QStringLiteral("<li>");
        appendEscaped(out, site);
        out += QLatin1Char('\n');
    }
    out += QStringLiteral("</ul>\n");
}

} // namespace

QString outcomeLabel(const QString &name)
{
    if (name == outcomeName(AnalysisOutcome::Complete))
        return QStringLiteral("完成");
    if (name == outcomeName(AnalysisOutcome::PageError))
        return QStringLiteral("页面错误");
    if (name == outcomeName(AnalysisOutcome::Refused))
        return QStringLiteral("安全验证");
    if (name == outcomeName(AnalysisOutcome::Stopped))
        return QStringLiteral("中止");
    if (name == outcomeName(AnalysisOutcome::Unreadable))
        return QStringLiteral("无法识别");
    return name;
}

QString htmlAnalysisBody(const FinishedAnalysis &analysis)
{
    QString body;
    body.reserve(reportRowCount(analysis) * 110 + 16384);
    appendAnalysis(body, analysis, 1, QStringLiteral("1"));
    return body;
}

QByteArray htmlAnalysisPage(const FinishedAnalysis &analysis)
{
    return page(analysis.domain + QStringLiteral(" 的外链分析"), htmlAnalysisBody(analysis));
}

const QString &htmlStyleSheet() { return styleSheet(); }
const QString &htmlScript() { return script(); }

QByteArray htmlBatchPage(const QList<FinishedAnalysis> &analyses, const QStringList &notAnalysed)
{
    qsizetype rows = 0;
    for (const FinishedAnalysis &a : analyses)
        rows += reportRowCount(a);
    QString body;
    body.reserve(rows * 110 + 16384 * (analyses.size() + 1));
    const qsizetype domains = analyses.size() + notAnalysed.size();
    body += QStringLiteral("<h1>批量分析结果：") + digits(domains) + QStringLiteral(" 个域名</h1>\n");
    body += QStringLiteral("<table class=\"summary sortable\">\n");
    appendHead(body, {{QStringLiteral("域名"), 's'},
                      {QStringLiteral("结果"), 's'},
                      {QStringLiteral("外链总数"), 'n'},
                      {QStringLiteral("站点数量"), 'n'}});
    body += QStringLiteral("<tbody>\n");
    for (qsizetype i = 0; i < analyses.size(); ++i) {
        const FinishedAnalysis &a = analyses.at(i);
        body += QStringLiteral("<tr><td><a href=\"#d") + digits(i + 1) + QStringLiteral("\">");
        appendEscaped(body, a.domain);
        body += QStringLiteral("</a><td>") + outcomeLabel(outcomeName(a.outcome())) + QStringLiteral("<td>")
            + optionalDigits(totalOf(a)) + QStringLiteral("<td>") + (a.hasReport() ? digits(reportRowCount(a)) : dash())
            + QLatin1Char('\n');
    }
    for (const QString &domain : notAnalysed)
        appendRow(body, {domain, QStringLiteral("未分析"), dash(), dash()});
    body += QStringLiteral("</tbody>\n</table>\n");
    if (!notAnalysed.isEmpty())
        body += QStringLiteral("<p class=\"notice\">搜索引擎要求安全验证后，其余 ") + digits(notAnalysed.size())
            + QStringLiteral(" 个域名未分析。</p>\n");
    for (qsizetype i = 0; i < analyses.size(); ++i) {
        const QString id = digits(i + 1);
        body += QStringLiteral("<section id=\"d") + id + QStringLiteral("\">\n");
        appendAnalysis(body, analyses.at(i), 2, id);
        body += QStringLiteral("</section>\n");
    }
    return page(QStringLiteral("批量外链分析（") + digits(domains) + QStringLiteral(" 个域名）"), body);
}

QString htmlHistoryBody(const HistoryReport &history)
{
    QString body;
    body += QStringLiteral("<h1>域名");
    appendEscaped(body, history.domain);
    body += QStringLiteral("的分析历史</h1>\n<dl class=\"facts\">\n");
    appendFact(body, QStringLiteral("分析次数"), digits(history.analyses.size()));
    if (!history.analyses.isEmpty()) {
        const HistoryPoint &last = history.analyses.constLast();
        appendFact(body, QStringLiteral("最近一次"),
                   timeText(last.startedAt) + QStringLiteral("（") + outcomeLabel(last.outcome) + QStringLiteral("）"));
    }
    body += QStringLiteral("</dl>\n");
    if (history.analyses.isEmpty()) {
        body += QStringLiteral("<p class=\"notice\">尚无分析记录。</p>\n");
        return body;
    }

    const QString lines = historyChart(history);
    if (!lines.isEmpty()) {
        body += QStringLiteral("<h2>外链总数与站点数量</h2>\n") + lines + QLatin1Char('\n');
        body += QStringLiteral("<p class=\"key\">实心点：完成的分析；空心点：其他结果（页面错误、安全验证、中止），"
                               "悬停可见其数值与结果。</p>\n");
    }

    body += QStringLiteral("<h2>历次分析</h2>\n<table class=\"history sortable\">\n");
    appendHead(body, {{QStringLiteral("编号"), 'n'},
                      {QStringLiteral("开始时间"), 's'},
                      {QStringLiteral("结束时间"), 's'},
                      {QStringLiteral("结果"), 's'},
                      {QStringLiteral("外链总数"), 'n'},
                      {QStringLiteral("站点数量"), 'n'},
                      {QStringLiteral("新增站点"), 'n'},
                      {QStringLiteral("失去站点"), 'n'}});
    body += QStringLiteral("<tbody>\n");
    const auto opt = [](const std::optional<int> &v) { return v ? digits(*v) : dash(); };
    for (const HistoryPoint &p : history.analyses) {
        appendRow(body, {digits(p.id), timeText(p.startedAt), timeText(p.finishedAt), outcomeLabel(p.outcome),
                         optionalDigits(p.engineTotal), opt(p.sites), opt(p.newSites), opt(p.lostSites)});
    }
    body += QStringLiteral("</tbody>\n</table>\n");

    if (history.latestDiff) {
        const HistoryDiff &diff = *history.latestDiff;
        body += QStringLiteral("<h2>最近一次变化（编号 ") + digits(diff.fromId) + QStringLiteral(" → ")
            + digits(diff.toId) + QStringLiteral("）</h2>\n");
        appendSiteList(body, QStringLiteral("新增站点"), diff.newSites);
        appendSiteList(body, QStringLiteral("失去站点"), diff.lostSites);
        body += QStringLiteral("<h3>变化的站点（") + digits(diff.changed.size()) + QStringLiteral(" 个）</h3>\n");
        if (diff.changed.isEmpty()) {
            body += QStringLiteral("<p>无</p>\n");
        } else {
            body += QStringLiteral("<table class=\"changes sortable\">\n");
            appendHead(body, {{QStringLiteral("域名"), 's'},
                              {QStringLiteral("外链数量（之前）"), 'n'},
                              {QStringLiteral("外链数量（之后）"), 'n'},
                              {QStringLiteral("最新外链日期（之前）"), 'd'},
                              {QStringLiteral("最新外链日期（之后）"), 'd'}});
            body += QStringLiteral("<tbody>\n");
            for (const SiteChange &c : diff.changed)
                appendRow(body, {c.site, digits(c.linksBefore), digits(c.linksAfter), c.dateBefore, c.dateAfter});
            body += QStringLiteral("</tbody>\n</table>\n");
        }
    }
    return body;
}

QByteArray htmlHistoryPage(const HistoryReport &history)
{
    return page(history.domain + QStringLiteral(" 的分析历史"), htmlHistoryBody(history));
}

} // namespace korvane
