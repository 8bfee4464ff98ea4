#pragma once

#include "history.h"

#include <QByteArray>
#include <QJsonObject>

namespace korvane {

// The history of a domain and the diff of two analyses as text, CSV and JSON, in UTF-8.
// Times are shown in local time. Nothing here reads the store.

// Text: a heading with the count of analyses, then one aligned line per analysis.
QByteArray historyText(const QString &domain, const QList<HistoryEntry> &entries);
// CSV: id,started_at,finished_at,outcome,engine_total,sites,new,lost (empty where unknown).
QByteArray historyCsvHead(bool byteOrderMark);
QByteArray historyCsvBody(const QList<HistoryEntry> &entries);
// {"domain", "analyses":[{"id","started_at","finished_at","outcome","engine_total","sites","new","lost"}]}
QJsonObject historyJson(const QString &domain, const QList<HistoryEntry> &entries);

// Text in the report's style: 新增站点, 消失站点 and 外链数变化, each with its count and rows.
// `fromName` and `toName` name the two sides when they are not in the store (export files).
QByteArray diffText(const SiteDiff &diff, const QString &fromName = QString(), const QString &toName = QString());
// CSV: change,site,links_before,links_after,latest_date,latest_address (change: new, lost or
// changed; the date and address are the later analysis's, the earlier one's for a lost site).
QByteArray diffCsvHead(bool byteOrderMark);
QByteArray diffCsvBody(const SiteDiff &diff);
// {"domain","from":{"id","finished_at","engine_total","sites"},"to":{...},"new":[...],"lost":[...],
//  "changed":[{"site","links_before","links_after"}]}; "id" is null for an export file's analysis.
QJsonObject diffJson(const SiteDiff &diff);

} // namespace korvane
