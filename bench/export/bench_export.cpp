// Prints how long exporting the 32,767-site table takes, as CSV and as JSON (the bytes that go
// to the file), target under 100 ms each; and as the HTML page with its charts, target under
// 300 ms and under 4 MB.

#include "core/texts.h"
#include "export/exporter.h"

#include "bench_timing.h"

#include <QTimeZone>

#include <algorithm>
#include <cstdio>

using namespace korvane;

namespace {

// A finished analysis with a full table: every kind of date, some addresses that need quoting.
FinishedAnalysis largestAnalysis()
{
    FinishedAnalysis a;
    a.domain = QStringLiteral("www.example.com");
    a.engine = QStringLiteral("http://www.baidu.com");
    a.startedAt = QDateTime(QDate(2011, 12, 25), QTime(10, 30), QTimeZone(8 * 3600));
    a.finishedAt = a.startedAt.addSecs(300);
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
    for (int i = 1; i <= 32767; ++i) {
        const QString site = QStringLiteral("www.site%1.example.com").arg(i);
        QString date;
        switch (i % 4) {
        case 0: date = QStringLiteral("2011-%1-%2").arg(i % 12 + 1).arg(i % 28 + 1); break;
        case 1: date = QStringLiteral("%1小时前").arg(i % 24); break;
        case 2: date = QStringLiteral("%1分钟前").arg(i % 60); break;
        default: date = QStringLiteral("昨天"); break;
        }
        r.SiteNames.append(site);
        r.SiteLinkCounts.append(i % 50 + 1);
        r.SiteLatestDates.append(date);
        r.SiteLatestUrls.append(site + (i % 10 == 0 ? QStringLiteral("/p?a=1,b=\"2\"") : QStringLiteral("/page/%1.html").arg(i)));
    }
    return a;
}

} // namespace

int main()
{
    const FinishedAnalysis analysis = largestAnalysis();
    for (const auto &[name, format] : {std::pair{"CSV", ExportFormat::Csv}, std::pair{"JSON", ExportFormat::Json}}) {
        qsizetype bytes = 0;
        const double ms = korvane::bench::bestMillis(5, [&] { bytes = exportDocument(analysis, {format, true}).size(); });
        std::printf("export %s: %d sites, %lld bytes: %.1f ms (target < 100 ms)\n", name, analysis.record.siteCount(),
                    static_cast<long long>(bytes), ms);
    }
    qsizetype bytes = 0;
    const double ms = korvane::bench::bestMillis(5, [&] { bytes = exportDocument(analysis, {ExportFormat::Html, true}).size(); });
    std::printf("export HTML: %d sites, %lld bytes (%.2f MB, target < 4 MB): %.1f ms (target < 300 ms)\n",
                analysis.record.siteCount(), static_cast<long long>(bytes), double(bytes) / 1e6, ms);
    return 0;
}
