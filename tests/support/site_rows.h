#pragma once

// Rows put straight into the per-site table, for tests of what reads it (report, export).

#include "core/analysis_record.h"

#include <QList>
#include <QString>

namespace korvane::testing {

struct Site
{
    QString name;
    qint32 count;
    QString date;
    QString url;
};

// Appends `sites` as rows after the table's last one, allocating it (slot 0 unused) first.
inline void addSites(AnalysisRecord &record, const QList<Site> &sites)
{
    if (!record.siteTableAllocated()) {
        record.SiteNames = {QString()};
        record.SiteLinkCounts = {0};
        record.SiteLatestDates = {QString()};
        record.SiteLatestUrls = {QString()};
    }
    for (const Site &site : sites) {
        record.SiteNames.append(site.name);
        record.SiteLinkCounts.append(site.count);
        record.SiteLatestDates.append(site.date);
        record.SiteLatestUrls.append(site.url);
    }
}

} // namespace korvane::testing
