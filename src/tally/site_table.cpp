#include "tally/site_table.h"

#include "core/failure.h"
#include "core/numbers.h"
#include "tally/dates.h"

namespace korvane {

namespace {

QString siteOf(const QString &address)
{
    const qsizetype slash = address.indexOf(QLatin1Char('/'));
    return slash >= 0 ? address.left(slash) : address;
}

void requireEqualColumns(const AnalysisRecord &record)
{
    const qsizetype size = record.SiteNames.size();
    if (record.SiteLinkCounts.size() != size || record.SiteLatestDates.size() != size
        || record.SiteLatestUrls.size() != size)
        fail(FailureCode::IndexOutOfRange,
             QStringLiteral("the columns of the per-site table differ in length"));
}

void rebuildRowIndex(AnalysisRecord &record)
{
    record.SiteRowIndex.clear();
    record.SiteRowIndex.reserve(record.SiteNames.size());
    for (int row = 1; row < record.SiteNames.size(); ++row) {
        if (!record.SiteRowIndex.contains(record.SiteNames.at(row))) // the first row wins
            record.SiteRowIndex.insert(record.SiteNames.at(row), row);
    }
}

// The row of `site`, or 0 when the table has none.
int findRow(AnalysisRecord &record, const QString &site)
{
    auto rowFromIndex = [&]() -> int {
        const auto it = record.SiteRowIndex.constFind(site);
        if (it == record.SiteRowIndex.constEnd())
            return 0;
        const int row = it.value();
        if (row < 1 || row >= record.SiteNames.size() || record.SiteNames.at(row) != site)
            return -1; // stale entry
        return row;
    };

    if (record.SiteRowIndex.size() != record.siteCount()) {
        rebuildRowIndex(record);
        return rowFromIndex();
    }
    int row = rowFromIndex();
    if (row < 0) {
        rebuildRowIndex(record);
        row = rowFromIndex();
    }
    return row;
}

void appendRow(AnalysisRecord &record, const QString &site, const QString &address,
               const QString &dateText)
{
    record.SiteNames.append(site);
    record.SiteLinkCounts.append(1);
    record.SiteLatestDates.append(dateText);
    record.SiteLatestUrls.append(address);
    record.SiteRowIndex.insert(site, int(record.SiteNames.size()) - 1);
}

} // namespace

void TallyLink(AnalysisRecord &record, const QString &address, const QString &dateText)
{
    const QString site = siteOf(address);

    if (!record.siteTableAllocated()) {
        // Allocate slots 0 and 1; slot 0 stays empty for good.
        record.eraseSiteTable();
        record.SiteNames.append(QString());
        record.SiteLinkCounts.append(0);
        record.SiteLatestDates.append(QString());
        record.SiteLatestUrls.append(QString());
        appendRow(record, site, address, dateText);
        return;
    }

    requireEqualColumns(record);

    if (const int row = findRow(record, site); row > 0) {
        // Raise the count first: an overflow leaves the row as it was, while a date that
        // cannot be read (below) leaves the raised count behind.
        record.SiteLinkCounts[row] = checkedAdd32(record.SiteLinkCounts.at(row), 1);
        record.SiteLatestDates[row] = LaterDate(record.SiteLatestDates.at(row), dateText);
        if (dateText == record.SiteLatestDates.at(row))
            record.SiteLatestUrls[row] = address;
        return;
    }

    if (record.siteCount() + 1 > kMaxSites)
        fail(FailureCode::Overflow,
             QStringLiteral("the per-site table is full (%1 sites)").arg(kMaxSites));
    appendRow(record, site, address, dateText);
}

} // namespace korvane
