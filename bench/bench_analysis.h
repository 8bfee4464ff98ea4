#pragma once

#include "core/texts.h"
#include "export/exporter.h"

#include <QDateTime>
#include <QTimeZone>

namespace korvane::bench {

// A complete analysis of www.example.com with `rows` sites named www.siteN.example.com from
// N = `first` on, with every kind of date the report shows, and addresses of which every tenth
// needs quoting in CSV. `linksShift` moves the link count of every seventh site, so that two
// analyses with different shifts differ in some counts.
inline FinishedAnalysis largeAnalysis(int rows, int first = 1, int linksShift = 0,
                                      const QDateTime &startedAt = QDateTime(QDate(2011, 12, 25), QTime(10, 30),
                                                                             QTimeZone(8 * 3600)))
{
    FinishedAnalysis a;
    a.domain = QStringLiteral("www.example.com");
    a.engine = QStringLiteral("http://www.baidu.com");
    a.startedAt = startedAt;
    a.finishedAt = startedAt.addSecs(300);
    a.status = texts::statusComp();
    a.pagesRequested = 77;
    a.pagesRead = 77;
    AnalysisRecord &r = a.record;
    r.State = texts::stateComp();
    r.TotalResults = 400000;
    r.PageCount = 40000;
    r.SiteNames = {QString()};
    r.SiteLinkCounts = {0};
    r.SiteLatestDates = {QString()};
    r.SiteLatestUrls = {QString()};
    for (int i = first; i < first + rows; ++i) {
        const QString site = QStringLiteral("www.site%1.example.com").arg(i);
        QString date;
        switch (i % 4) {
        case 0: date = QStringLiteral("2011-%1-%2").arg(i % 12 + 1).arg(i % 28 + 1); break;
        case 1: date = QStringLiteral("%1小时前").arg(i % 24); break;
        case 2: date = QStringLiteral("%1分钟前").arg(i % 60); break;
        default: date = QStringLiteral("昨天"); break;
        }
        r.SiteNames.append(site);
        r.SiteLinkCounts.append((i + (i % 7 == 0 ? linksShift : 0)) % 50 + 1);
        r.SiteLatestDates.append(date);
        r.SiteLatestUrls.append(site + (i % 10 == 0 ? QStringLiteral("/p?a=1,b=\"2\"") : QStringLiteral("/page/%1.html").arg(i)));
    }
    return a;
}

} // namespace korvane::bench
