// Prints how long tallying 200,000 entries over 32,767 sites and writing the 32,767-site report
// take. Target for each: under 100 ms.

#include "core/analysis_record.h"
#include "core/form_view.h"
#include "report/report_writer.h"
#include "tally/site_table.h"

#include "bench_timing.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

using namespace korvane;

namespace {

class NullView : public FormView
{
public:
    QString result;
    QString domainText() const override { return QStringLiteral("www.example.com"); }
    QString markerText() const override { return {}; }
    void setMarkerText(const QString &) override {}
    QString resultText() const override { return result; }
    void setResultText(const QString &text) override { result = text; }
    void setLinkCountText(const QString &) override {}
    void setSiteCountText(const QString &) override {}
    QString statusText() const override { return {}; }
    void setStatusText(const QString &) override {}
    void setMousePointer(int) override {}
    void updateLinkLabel(int, const LinkLabel &) override {}
    void showMessage(const QString &, const QString &) override {}
    void openExternal(const QString &) override {}
};

struct Entry
{
    QString address;
    QString date;
};

QList<Entry> makeEntries(int count, int sites)
{
    QList<Entry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int site = (i * 7919) % sites; // all sites appear, interleaved
        QString date;
        switch (i % 4) {
        case 0: date = QStringLiteral("2011-%1-%2").arg(i % 12 + 1).arg(i % 28 + 1); break;
        case 1: date = QStringLiteral("%1小时前").arg(i % 24); break;
        case 2: date = QStringLiteral("%1分钟前").arg(i % 60); break;
        default: date = QStringLiteral("2012-01-15"); break;
        }
        entries.append({QStringLiteral("www.site%1.example.com/page/%2.html").arg(site).arg(i), date});
    }
    return entries;
}

} // namespace

int main()
{
    constexpr int kEntries = 200000;
    const QList<Entry> entries = makeEntries(kEntries, kMaxSites);

    AnalysisRecord record;
    const double tallyMs = korvane::bench::bestMillis(5, [&] {
        record.eraseSiteTable();
        for (const Entry &entry : entries)
            TallyLink(record, entry.address, entry.date);
    });
    std::printf("tally: %d entries over %d sites: %.1f ms (target < 100 ms)\n", kEntries,
                record.siteCount(), tallyMs);

    NullView view;
    const double reportMs = korvane::bench::bestMillis(5, [&] {
        record.State = QStringLiteral("ANAING");
        WriteReport(record, view);
    });
    std::printf("report: %d sites, %lld characters: %.1f ms (target < 100 ms)\n", record.siteCount(),
                static_cast<long long>(view.result.size()), reportMs);
    return 0;
}
