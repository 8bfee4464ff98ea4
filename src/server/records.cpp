#include "records.h"

#include "core/texts.h"

namespace korvane {

FinishedAnalysis finishedAnalysisOf(const StoredAnalysis &stored, const QList<StoredSite> &sites)
{
    FinishedAnalysis analysis;
    analysis.domain = stored.domain;
    analysis.engine = stored.engine;
    analysis.startedAt = stored.startedAt.toLocalTime();
    analysis.finishedAt = stored.finishedAt.toLocalTime();
    analysis.status = stored.status;
    analysis.pagesRequested = stored.pagesRequested;
    analysis.pagesRead = stored.pagesRead;
    analysis.failure = stored.failure; // the reason stored; without one, the export falls back on the status
    AnalysisRecord &r = analysis.record;
    r.State = texts::stateComp();
    if (stored.outcome == outcomeName(AnalysisOutcome::Stopped))
        r.DoneMessage = texts::stoppedMessage();
    else if (stored.outcome == outcomeName(AnalysisOutcome::Refused))
        r.DoneMessage = texts::refusalMessage();
    else if (stored.outcome == outcomeName(AnalysisOutcome::Unreadable))
        r.DoneMessage = texts::unreadableMessage();
    else if (stored.outcome == outcomeName(AnalysisOutcome::PageError))
        r.DoneMessage = texts::pageErrorMessage();
    if (stored.engineTotal) {
        r.TotalResults = double(*stored.engineTotal);
        r.PageCount = double(*stored.engineTotal) / 10;
    } else {
        r.TotalMissing = true;
    }
    if (!sites.isEmpty()) {
        r.SiteNames.append(QString());
        r.SiteLinkCounts.append(0);
        r.SiteLatestDates.append(QString());
        r.SiteLatestUrls.append(QString());
        for (const StoredSite &site : sites) {
            r.SiteNames.append(site.site);
            r.SiteLinkCounts.append(site.links);
            r.SiteLatestDates.append(site.latestDate);
            r.SiteLatestUrls.append(site.latestAddress);
        }
    }
    r.EntriesRead = 0;
    for (const StoredSite &site : sites)
        r.EntriesRead += site.links;
    return analysis;
}

QJsonObject recordJson(const StoredAnalysis &analysis, const QList<StoredSite> &sites)
{
    QJsonObject object = exportJson(finishedAnalysisOf(analysis, sites));
    object.insert(QStringLiteral("id"), analysis.id);
    return object;
}

} // namespace korvane
