#include "exporter.h"

#include "csv.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace korvane {

namespace {

// The site table's rows as the report lists them (rows 1..N); none without a report.
qsizetype reportRowCount(const FinishedAnalysis &analysis)
{
    if (!analysis.hasReport())
        return 0;
    const AnalysisRecord &r = analysis.record;
    const qsizetype rows = r.siteCount();
    // The report writer fails on columns of unequal length, so a report never has such a
    // table; staying inside every column keeps this true for any record.
    if (r.SiteLinkCounts.size() <= rows || r.SiteLatestDates.size() <= rows || r.SiteLatestUrls.size() <= rows)
        return 0;
    return rows;
}

// The figure of the report's 外链总数: the engine's total when this analysis read a positive
// one, else 0 (the record keeps an earlier analysis's total until a new one is read).
double engineTotal(const AnalysisRecord &record)
{
    return record.PageCount > 0 ? record.TotalResults.value_or(0) : 0;
}

QByteArray utf8Bom() { return QByteArrayLiteral("\xEF\xBB\xBF"); }

} // namespace

std::optional<ExportFormat> exportFormatNamed(const QString &name)
{
    if (name == QLatin1String("text"))
        return ExportFormat::Text;
    if (name == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (name == QLatin1String("json"))
        return ExportFormat::Json;
    return std::nullopt;
}

QString outcomeName(AnalysisOutcome outcome)
{
    switch (outcome) {
    case AnalysisOutcome::Complete: return QStringLiteral("complete");
    case AnalysisOutcome::PageError: return QStringLiteral("page_error");
    case AnalysisOutcome::Refused: return QStringLiteral("refused");
    case AnalysisOutcome::Stopped: return QStringLiteral("stopped");
    }
    return QString();
}

QString isoDateTime(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const int offset = time.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"))
        + QLatin1Char(offset < 0 ? '-' : '+')
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString isoDateOf(const QString &dateText, const QDateTime &startedAt)
{
    static const QRegularExpression calendar(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    static const QRegularExpression relative(QStringLiteral("^(\\d{1,7})(小时|分钟)前$"));

    QRegularExpressionMatch match = calendar.match(dateText);
    if (match.hasMatch()) {
        const QDate date(match.capturedView(1).toInt(), match.capturedView(2).toInt(), match.capturedView(3).toInt());
        return date.isValid() ? date.toString(Qt::ISODate) : QString();
    }
    match = relative.match(dateText);
    if (match.hasMatch() && startedAt.isValid()) {
        const qint64 number = match.capturedView(1).toLongLong();
        const qint64 seconds = number * (match.capturedView(2) == QStringLiteral("小时") ? 3600 : 60);
        return isoDateTime(startedAt.addSecs(-seconds));
    }
    return QString();
}

QStringList csvColumns()
{
    return {QStringLiteral("domain"), QStringLiteral("site"), QStringLiteral("links"), QStringLiteral("latest_date"),
            QStringLiteral("latest_date_iso"), QStringLiteral("latest_address")};
}

QByteArray exportHead(const ExportOptions &options)
{
    if (options.format != ExportFormat::Csv)
        return QByteArray();
    QString header;
    appendCsvRecord(header, csvColumns());
    return (options.byteOrderMark ? utf8Bom() : QByteArray()) + header.toUtf8();
}

QByteArray exportBody(const FinishedAnalysis &analysis, const ExportOptions &options)
{
    switch (options.format) {
    case ExportFormat::Text: {
        if (!analysis.hasReport())
            return QByteArray();
        QString text = analysis.report;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.append(QLatin1Char('\n'));
        return text.toUtf8();
    }
    case ExportFormat::Csv: {
        const AnalysisRecord &r = analysis.record;
        const qsizetype rows = reportRowCount(analysis);
        QString out;
        out.reserve(rows * 120);
        for (qsizetype row = 1; row <= rows; ++row) {
            const QString &date = r.SiteLatestDates.at(row);
            appendCsvRecord(out, {analysis.domain, r.SiteNames.at(row), QString::number(r.SiteLinkCounts.at(row)),
                                  date, isoDateOf(date, analysis.startedAt), r.SiteLatestUrls.at(row)});
        }
        return out.toUtf8();
    }
    case ExportFormat::Json:
        return QJsonDocument(exportJson(analysis)).toJson(QJsonDocument::Compact) + '\n';
    }
    return QByteArray();
}

QByteArray exportDocument(const FinishedAnalysis &analysis, const ExportOptions &options)
{
    return exportHead(options) + exportBody(analysis, options);
}

bool saveExport(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Unbuffered, so that a failing write is remembered by the file and commit() keeps the old
    // one (a failure of the final flush inside commit() would go unnoticed).
    bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qint64 done = 0; saved && done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        saved = written > 0;
        done += std::max<qint64>(written, 0);
    }
    if (saved)
        saved = file.commit();
    if (!saved && error)
        *error = file.errorString();
    return saved;
}

QJsonObject exportJson(const FinishedAnalysis &analysis)
{
    const AnalysisRecord &r = analysis.record;
    const qsizetype rowCount = reportRowCount(analysis);
    QJsonArray rows;
    for (qsizetype row = 1; row <= rowCount; ++row) {
        const QString &date = r.SiteLatestDates.at(row);
        const QString iso = isoDateOf(date, analysis.startedAt);
        rows.append(QJsonObject{
            {QStringLiteral("site"), r.SiteNames.at(row)},
            {QStringLiteral("links"), r.SiteLinkCounts.at(row)},
            {QStringLiteral("latest_date"), date},
            {QStringLiteral("latest_date_iso"), iso.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(iso)},
            {QStringLiteral("latest_address"), r.SiteLatestUrls.at(row)},
        });
    }
    return QJsonObject{
        {QStringLiteral("domain"), analysis.domain},
        {QStringLiteral("engine"), analysis.engine},
        {QStringLiteral("started_at"), isoDateTime(analysis.startedAt)},
        {QStringLiteral("finished_at"), isoDateTime(analysis.finishedAt)},
        {QStringLiteral("status"), analysis.status},
        {QStringLiteral("outcome"), outcomeName(analysis.outcome())},
        {QStringLiteral("engine_total"), engineTotal(r)},
        {QStringLiteral("sites"), analysis.hasReport() ? QJsonValue(qint64(rowCount)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("pages_requested"), analysis.pagesRequested},
        {QStringLiteral("pages_read"), analysis.pagesRead},
        {QStringLiteral("rows"), rows},
    };
}

} // namespace korvane
