// korvane-report-sample: writes an HTML report page from fixed, made-up data, for the README's
// pictures (scripts/screenshot-report) and for looking at the pages without an engine.
//   korvane-report-sample analysis OUT.html
//   korvane-report-sample history OUT.html

#include "core/texts.h"
#include "export/exporter.h"
#include "export/html_report.h"
#include "fixed_draw.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <iterator>

using namespace korvane;

namespace {

const QDateTime kStart(QDate(2011, 12, 25), QTime(10, 30), QTimeZone(8 * 3600));

QString siteName(int i)
{
    static const char *const kinds[] = {"www", "bbs", "blog", "news", "tieba", "m", "home", "wenku"};
    static const char *const ends[] = {".com", ".cn", ".com.cn", ".net", ".org"};
    return QStringLiteral("%1.site%2%3")
        .arg(QLatin1String(kinds[i % 8]))
        .arg(i * 37 % 997)
        .arg(QLatin1String(ends[i % 5]));
}

FinishedAnalysis sampleAnalysis()
{
    FixedDraw draw;
    FinishedAnalysis a;
    a.domain = QStringLiteral("example.com");
    a.engine = QStringLiteral("http://www.baidu.com");
    a.startedAt = kStart;
    a.finishedAt = kStart.addSecs(96);
    a.status = texts::statusComp();
    a.pagesRequested = 77;
    a.pagesRead = 77;
    AnalysisRecord &r = a.record;
    r.State = texts::stateComp();
    r.TotalResults = 18400;
    r.PageCount = 1840;
    r.SiteNames = {QString()};
    r.SiteLinkCounts = {0};
    r.SiteLatestDates = {QString()};
    r.SiteLatestUrls = {QString()};
    int left = 760;
    for (int i = 1; i <= 164 && left > 0; ++i) {
        // A few sites carry most links, as usual.
        const int links = std::min(left, i <= 6 ? 60 - i * 7 + draw.below(9) : 1 + draw.below(i < 40 ? 6 : 3));
        left -= links;
        QString date;
        const int kind = draw.below(20);
        if (kind < 2)
            date = QStringLiteral("%1小时前").arg(1 + draw.below(23));
        else if (kind < 3)
            date = QStringLiteral("%1分钟前").arg(1 + draw.below(59));
        else if (kind < 4)
            date = QStringLiteral("昨天");
        else {
            const int month = std::min(12, 1 + draw.below(12) + draw.below(4)); // later months more often
            date = QStringLiteral("2011-%1-%2").arg(month).arg(1 + draw.below(28));
        }
        const QString site = siteName(i);
        r.SiteNames.append(site);
        r.SiteLinkCounts.append(links);
        r.SiteLatestDates.append(date);
        r.SiteLatestUrls.append(site + QStringLiteral("/thread-%1.html").arg(10000 + draw.below(90000)));
    }
    return a;
}

HistoryReport sampleHistory()
{
    HistoryReport h;
    h.domain = QStringLiteral("example.com");
    const struct
    {
        const char *outcome;
        qint64 total;
        int sites;
        int added;
        int lost;
    } runs[] = {{"complete", 12600, 121, 0, 0},    {"complete", 13100, 128, 11, 4},  {"complete", 13900, 133, 9, 4},
                {"page_error", 14200, 97, 2, 38},  {"complete", 15000, 139, 8, 2},  {"refused", 15800, 61, 3, 81},
                {"complete", 16300, 147, 12, 4},   {"complete", 17200, 152, 9, 4},   {"complete", 18400, 164, 15, 3}};
    qint64 id = 40;
    for (int i = 0; i < int(std::size(runs)); ++i) {
        HistoryPoint p;
        p.id = ++id;
        p.startedAt = kStart.addDays(-7 * (int(std::size(runs)) - 1 - i));
        p.finishedAt = p.startedAt.addSecs(runs[i].total < 0 ? 4 : 90 + i);
        p.outcome = QString::fromLatin1(runs[i].outcome);
        if (runs[i].total >= 0)
            p.engineTotal = runs[i].total;
        p.sites = runs[i].sites;
        // As the history counts them: against the previous complete analysis, and only for a
        // complete one after the first.
        if (i > 0 && p.outcome == QLatin1String("complete")) {
            p.newSites = runs[i].added;
            p.lostSites = runs[i].lost;
        }
        h.analyses.append(p);
    }
    HistoryDiff diff;
    diff.fromId = id - 1;
    diff.toId = id;
    for (int i = 150; i < 165; ++i)
        diff.newSites.append(siteName(i));
    diff.lostSites = {siteName(171), siteName(188), siteName(203)};
    diff.changed = {{siteName(1), 49, 53, QStringLiteral("2011-12-20"), QStringLiteral("3小时前")},
                    {siteName(2), 40, 42, QStringLiteral("2011-12-2"), QStringLiteral("2011-12-21")},
                    {siteName(9), 3, 5, QStringLiteral("2011-11-30"), QStringLiteral("2011-12-23")}};
    h.latestDiff = diff;
    return h;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString kind = args.value(1);
    if (args.size() != 3 || (kind != QLatin1String("analysis") && kind != QLatin1String("history"))) {
        std::fprintf(stderr, "usage: korvane-report-sample analysis|history OUT.html\n");
        return 2;
    }
    const QByteArray page = kind == QLatin1String("analysis") ? htmlAnalysisPage(sampleAnalysis())
                                                              : htmlHistoryPage(sampleHistory());
    QString error;
    if (!saveExport(args.value(2), page, &error)) {
        std::fprintf(stderr, "korvane-report-sample: cannot write %s: %s\n", qPrintable(args.value(2)), qPrintable(error));
        return 4;
    }
    return 0;
}
