#pragma once

#include "core/analysis_record.h"
#include "core/status.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace korvane {

// One analysis as a front-end saw it end: the record and the texts the user saw, with what
// only the front-end knows (when it ran, where it asked, how many pages it took).
struct FinishedAnalysis
{
    QString domain;         // the domain as analysed
    QString engine;         // scheme, host and port of the search engine asked
    QDateTime startedAt;    // when Analyse was pressed; relative dates resolve against it
    QDateTime finishedAt;   // when the walk ended, with a report or without
    QString status;         // the status line at the end
    QString report;         // the report box's text as written (CR LF)
    AnalysisRecord record;  // the record at the end (its columns are shared, not copied)
    int pagesRequested = 0; // pages asked of the browser, the query page included
    int pagesRead = 0;      // of those, pages that loaded and were read (not failed, not refused)
    QString failure;        // why it is incomplete, in one line with the page's index
                            // ("第3页: connection refused (127.0.0.1:9)"); empty when complete

    AnalysisOutcome outcome() const { return outcomeOf(record); }
    // The engine's total as the report's 外链总数 shows it when this analysis read one (the
    // engine's "no results" answer counts as 0); nullopt when it read none: the query page
    // was not read, showed no total (the walk counted the entries instead), or was not
    // understood.
    std::optional<qint64> engineTotal() const;
    // Whether the analysis ended with its report (every outcome but Stopped).
    bool hasReport() const { return outcome() != AnalysisOutcome::Stopped; }
};

// The one-line reason of an analysis as its record tells it: empty when it is complete; else
// the record's FailureReason, or, should a walk have ended incomplete without one, its status.
QString failureOf(const FinishedAnalysis &analysis);

// The site table's rows as the report lists them (rows 1..N); none without a report.
qsizetype reportRowCount(const FinishedAnalysis &analysis);

enum class ExportFormat { Text, Csv, Json, Html };

struct ExportOptions
{
    ExportFormat format = ExportFormat::Csv;
    bool byteOrderMark = true; // CSV only: start with the UTF-8 byte-order mark
};

// "text", "csv", "json" or "html" (as typed on the command line); nullopt for any other name.
std::optional<ExportFormat> exportFormatNamed(const QString &name);
// "complete", "page_error", "refused", "stopped" or "unreadable".
QString outcomeName(AnalysisOutcome outcome);

// A date-time in ISO 8601 with its offset from UTC, to the second: "2011-12-25T10:30:00+08:00".
QString isoDateTime(const QDateTime &time);
// The ISO 8601 form of a date as the report shows it:
//  - a calendar date "Y-M-D" becomes "YYYY-MM-DD" ("2011-7-9" -> "2011-07-09");
//  - "Y年M月D日" becomes "YYYY-MM-DD" too;
//  - "N小时前", "N分钟前" and "N天前" become `startedAt` minus N hours, minutes or days, and a
//    text starting with "昨天" or "前天" `startedAt` minus one or two days, as isoDateTime;
//  - anything else (an impossible date included) gives an empty text.
QString isoDateOf(const QString &dateText, const QDateTime &startedAt);

// The CSV columns, in order.
QStringList csvColumns();

// What a file or stream starts with, before the first analysis: for CSV the byte-order mark
// (unless left out) and the header row; nothing for text, JSON and HTML.
QByteArray exportHead(const ExportOptions &options);
// One analysis, in UTF-8:
//  - text: the report with LF line ends and one final LF; nothing without a report;
//  - CSV: one row per site in report order, each ending with the outcome; one row with the
//    domain, empty site fields and the outcome when there is no site (or no report);
//  - JSON: the analysis's object on one line, ended by LF (a JSON Lines line);
//  - HTML: the whole page of this one analysis (htmlAnalysisPage). Several analyses make one
//    page together (htmlBatchPage), not one after another.
QByteArray exportBody(const FinishedAnalysis &analysis, const ExportOptions &options);
// A whole file of one analysis: exportHead + exportBody.
QByteArray exportDocument(const FinishedAnalysis &analysis, const ExportOptions &options);

// Replaces the file at `path` with `bytes` through QSaveFile: until the new file is complete
// the old one stays as it was, and a write that fails leaves no part of the new one. False,
// with the reason in *error, when the file could not be written.
bool saveExport(const QString &path, const QByteArray &bytes, QString *error);

// The JSON object of one analysis: domain, engine, started_at, finished_at, status, outcome,
// engine_total (the figure of the report's 外链总数; null when no total was read), sites (null without a report),
// pages_requested, pages_read, failure (the one-line reason of an incomplete analysis; null
// when complete) and rows (site, links, latest_date, latest_date_iso or null,
// latest_address; empty without a report).
QJsonObject exportJson(const FinishedAnalysis &analysis);

} // namespace korvane
