#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>
#include <utility>

namespace korvane {

struct FinishedAnalysis;

// One row of an analysis's per-site table, as recorded.
struct StoredSite
{
    QString site;
    qint32 links = 0;
    QString latestDate;     // as the report shows it
    QString latestDateIso;  // its ISO 8601 form; empty when it has none
    QString latestAddress;
};

// One recorded analysis, without its rows.
struct StoredAnalysis
{
    qint64 id = 0;                     // the store's id; 0 for one read from an export
    QString domain;
    QString engine;
    QDateTime startedAt;
    QDateTime finishedAt;
    QString outcome;                   // "complete", "page_error", "refused", "stopped", ...
    std::optional<qint64> engineTotal; // nullopt when the engine's total was never read
    qint64 sites = 0;                  // rows recorded
    int pagesRequested = 0;
    int pagesRead = 0;
    QString status;                    // the status line at the end
    QString failure;                   // why it is incomplete, in one line; empty when complete
    QString version;                   // the Korvane version that recorded it

    bool complete() const { return outcome == QLatin1String("complete"); }
};

// A recorded analysis in a domain's history, with the sites it gained and lost against the
// previous complete analysis. Both are empty for an analysis that did not complete (a walk
// that ended early has not lost the sites it never reached) and for the first complete one.
struct HistoryEntry
{
    StoredAnalysis analysis;
    std::optional<qint64> newSites;
    std::optional<qint64> lostSites;
};

struct LinkChange
{
    QString site;
    qint32 linksBefore = 0;
    qint32 linksAfter = 0;
    QString latestDate;    // the later analysis's
    QString latestAddress; // the later analysis's
};

// What changed between two analyses of a domain. `added` and `changed` follow the later
// analysis's row order, `lost` the earlier one's.
struct SiteDiff
{
    StoredAnalysis from;
    StoredAnalysis to;
    QList<StoredSite> added;  // sites of `to` that `from` does not have
    QList<StoredSite> lost;   // sites of `from` that `to` does not have
    QList<LinkChange> changed; // sites of both whose link count differs
};

// The analysis and its rows, as they would be recorded: the rows are the record's per-site
// table (the rows read so far, for a walk that stopped without a report).
StoredAnalysis storedAnalysisOf(const FinishedAnalysis &analysis);
QList<StoredSite> storedSitesOf(const FinishedAnalysis &analysis);

SiteDiff diffSites(const StoredAnalysis &from, const QList<StoredSite> &fromSites, const StoredAnalysis &to,
                   const QList<StoredSite> &toSites);

// How many sites of `after` are not in `before` (first), and of `before` not in `after`.
std::pair<qint64, qint64> countNewAndLost(const QSet<QString> &before, const QSet<QString> &after);

// One analysis read from a JSON export (one object of `korvane-cli --format json` or the
// window's JSON export): nullopt, with the reason in *error, when the object is not one.
struct ExportedAnalysis
{
    StoredAnalysis analysis;
    QList<StoredSite> sites;
};
std::optional<ExportedAnalysis> analysisFromJson(const QByteArray &json, QString *error);
// Every analysis of an export file (one JSON object, or JSON Lines), in file order.
std::optional<QList<ExportedAnalysis>> analysesFromExport(const QByteArray &bytes, QString *error);

// A date-time as the store keeps it: UTC, to the millisecond, in a form that sorts as text.
QString storedTime(const QDateTime &time);
QDateTime timeFromStore(const QString &text);

} // namespace korvane
