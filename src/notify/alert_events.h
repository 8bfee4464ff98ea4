#pragma once

#include "store/history.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace korvane {

class HistoryStore;
class Outbox;

// The events an analysis can raise, each one JSON object with "id" (the same for every try
// and every target), "event", "domain" and "time" (RFC 3339, UTC):
//  - "changed": a complete analysis against the domain's previous complete one, when it
//    gained or lost at least `threshold` sites; "analysis_id", "previous_id", "engine_total",
//    "sites", "new", "lost" and "changed" as `korvane-cli diff` gives them, and "from" and
//    "to" (id, finished_at, engine_total, sites of the two analyses);
//  - "failing": the domain's analyses have been incomplete `failures` times in a row; sent
//    once for each run of failures, with "count" and "analyses" (id, finished_at, outcome,
//    status, reason of each analysis of the run);
//  - "recovered": the first complete analysis after a "failing" one, with "analysis_id",
//    "engine_total", "sites" and "failures" (the incomplete analyses before it).
struct AlertRules
{
    int threshold = 1; // sites gained or lost for "changed"
    int failures = 3;  // incomplete analyses in a row for "failing"
};

// The reason an analysis did not complete, in one line; empty for a complete one. The stored
// failure reason; for an analysis recorded before the store kept reasons, its status line.
QString failureReasonOf(const StoredAnalysis &analysis);

QJsonObject changedEvent(const SiteDiff &diff, const QString &id, const QDateTime &time);
QJsonObject failingEvent(const QList<StoredAnalysis> &run, const QString &id, const QDateTime &time);
QJsonObject recoveredEvent(const StoredAnalysis &analysis, int failuresBefore, const QString &id, const QDateTime &time);

// The events that the recorded analysis `analysisId` of `domain` raises, from the store's
// history (and, for "failing" and "recovered", from the events its outbox already holds).
// nullopt, with the reason in *error, when the store could not be read.
std::optional<QList<QJsonObject>> eventsOfAnalysis(HistoryStore &store, Outbox &outbox, const QString &domain,
                                                   qint64 analysisId, const AlertRules &rules, const QDateTime &now,
                                                   QString *error);

// A new event id: a random UUID without braces.
QString newEventId();

} // namespace korvane
