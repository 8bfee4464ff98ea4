#pragma once

// The report as one self-contained HTML page: inline style, inline SVG charts and a small
// inline script (sorting by a click on a column heading), nothing fetched from anywhere. A
// Content-Security-Policy in the page forbids every network access; every text that came from
// the engine or the user is escaped. The page reads the same with scripts off.

#include "exporter.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

// Site tables show this many rows at first; the rest are in the page too, folded away behind
// a "show all" switch, so that a browser lays out a 32,767-row table only when asked.
inline constexpr int kHtmlRowsShown = 1000;
// The "who links most" chart shows this many sites.
inline constexpr int kHtmlTopSites = 20;

// The page of one analysis: heading (domain, engine total, sites, outcome, status line, start
// and end time, engine), the 20 sites with the most links, the sites' latest dates by month,
// and the full site table. A walk without sites says so and draws no chart.
QByteArray htmlAnalysisPage(const FinishedAnalysis &analysis);

// The page of a batch: a summary table (domain, outcome, engine total, sites, each domain
// linking to its section), then one section per analysis as on its own page. `notAnalysed`
// are the domains that were never started (the engine refused an earlier one); the summary
// lists them without a section.
QByteArray htmlBatchPage(const QList<FinishedAnalysis> &analyses, const QStringList &notAnalysed = {});

// One analysis of a domain as the history keeps it.
struct HistoryPoint
{
    qint64 id = 0;                      // the analysis's number in the history
    QDateTime startedAt;
    QDateTime finishedAt;
    QString outcome;                    // outcomeName(): "complete", "page_error", …
    std::optional<qint64> engineTotal;  // nullopt: no total was read
    std::optional<int> sites;           // nullopt: the walk stopped without a report
    std::optional<int> newSites;        // against the analysis before; nullopt for the first
    std::optional<int> lostSites;
};

// A site found in both analyses of a diff whose links or latest date changed.
struct SiteChange
{
    QString site;
    qint32 linksBefore = 0;
    qint32 linksAfter = 0;
    QString dateBefore; // latest date as the report showed it
    QString dateAfter;
};

// What changed from one analysis to a later one.
struct HistoryDiff
{
    qint64 fromId = 0;
    qint64 toId = 0;
    QStringList newSites;      // in the later analysis only, in its report order
    QStringList lostSites;     // in the earlier analysis only, in its report order
    QList<SiteChange> changed; // in both, with other links or another latest date
};

struct HistoryReport
{
    QString domain;
    QList<HistoryPoint> analyses;          // oldest first
    std::optional<HistoryDiff> latestDiff; // between the last two analyses with a report
};

// The history page: a line chart of the engine total and of the number of sites over time
// (complete analyses as filled points, the others hollow, the outcome in the tooltip), the
// table of analyses with new and lost sites, and the lists of the latest diff.
QByteArray htmlHistoryPage(const HistoryReport &history);

// The pieces of these pages, for pages of another front-end in the same look (the web server):
// the style sheet and the sorting script (each to be inlined and allowed by its hash), and what
// the body of the analysis page and of the history page holds.
const QString &htmlStyleSheet();
const QString &htmlScript();
QString htmlAnalysisBody(const FinishedAnalysis &analysis);
QString htmlHistoryBody(const HistoryReport &history);

// The Chinese name of an outcome as outcomeName() gives it ("complete" -> "完成"); an unknown
// name stays as it is.
QString outcomeLabel(const QString &outcomeName);

} // namespace korvane
