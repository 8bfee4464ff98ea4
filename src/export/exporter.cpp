#include "exporter.h"

#include "csv.h"
#include "html_report.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QHash>
#include <QSaveFile>

#include <algorithm>

namespace korvane {

namespace {

QByteArray utf8Bom() { return QByteArrayLiteral("\xEF\xBB\xBF"); }

// isoDateOf for the rows of one analysis: the engine shows the same few date texts again and
// again, so each one is worked out once.
class IsoDates
{
public:
    explicit IsoDates(const QDateTime &startedAt) : m_startedAt(startedAt) {}
    const QString &of(const QString &dateText)
    {
        auto known = m_known.constFind(dateText);
        if (known == m_known.cend())
            known = m_known.insert(dateText, isoDateOf(dateText, m_startedAt));
        return *known;
    }

private:
    QDateTime m_startedAt;
    QHash<QString, QString> m_known;
};

} // namespace

QString failureOf(const FinishedAnalysis &analysis)
{
    if (analysis.outcome() == AnalysisOutcome::Complete)
        return QString();
    if (!analysis.record.FailureReason.isEmpty())
        return analysis.record.FailureReason;
    return analysis.status;
}

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

// The engine's total when this analysis read a positive one, else 0 (the record keeps an
// earlier analysis's total until a new one is read).
std::optional<qint64> FinishedAnalysis::engineTotal() const
{
    if (record.TotalMissing || record.WalkWithoutTotal)
        return std::nullopt;
    return record.PageCount > 0 ? qint64(record.TotalResults.value_or(0)) : 0;
}

std::optional<ExportFormat> exportFormatNamed(const QString &name)
{
    if (name == QLatin1String("text"))
        return ExportFormat::Text;
    if (name == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (name == QLatin1String("json"))
        return ExportFormat::Json;
    if (name == QLatin1String("html"))
        return ExportFormat::Html;
    return std::nullopt;
}

QString outcomeName(AnalysisOutcome outcome)
{
    switch (outcome) {
    case AnalysisOutcome::Complete: return QStringLiteral("complete");
    case AnalysisOutcome::PageError: return QStringLiteral("page_error");
    case AnalysisOutcome::Refused: return QStringLiteral("refused");
    case AnalysisOutcome::Stopped: return QStringLiteral("stopped");
    case AnalysisOutcome::Unreadable: return QStringLiteral("unreadable");
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
    // Digits from `from`, at least one and at most `most`; -1 when there are none or too many.
    const auto number = [&dateText](qsizetype &at, int most) -> qint64 {
        qint64 value = 0;
        int digits = 0;
        for (; at < dateText.size() && dateText.at(at).isDigit() && dateText.at(at).unicode() < 0x80; ++at) {
            if (++digits > most)
                return -1;
            value = value * 10 + (dateText.at(at).unicode() - '0');
        }
        return digits == 0 ? -1 : value;
    };

    qsizetype at = 0;
    const qint64 first = number(at, 7);
    if (first < 0) {
        // "昨天" and "前天" (yesterday, the day before), with or without a time after them.
        qint64 days = 0;
        if (dateText.startsWith(u"昨天"))
            days = 1;
        else if (dateText.startsWith(u"前天"))
            days = 2;
        if (days == 0 || !startedAt.isValid())
            return QString();
        return isoDateTime(startedAt.addDays(-days));
    }
    if (at == 4 && dateText.size() > 4 && dateText.at(4) == QLatin1Char('-')) {
        // "Y-M-D": a four-digit year, a month and a day of one or two digits, nothing more.
        ++at;
        const qint64 month = number(at, 2);
        if (month < 0 || at >= dateText.size() || dateText.at(at) != QLatin1Char('-'))
            return QString();
        ++at;
        const qint64 day = number(at, 2);
        if (day < 0 || at != dateText.size())
            return QString();
        const QDate date{int(first), int(month), int(day)};
        return date.isValid() ? date.toString(Qt::ISODate) : QString();
    }
    const QStringView unit = QStringView(dateText).mid(at);
    if (at == 4 && unit.startsWith(u"年")) {
        // "Y年M月D日", as the engine's later pages write dates.
        ++at;
        const qint64 month = number(at, 2);
        if (month < 0 || at >= dateText.size() || dateText.at(at) != u'月')
            return QString();
        ++at;
        const qint64 day = number(at, 2);
        if (day < 0 || at >= dateText.size() || dateText.at(at) != u'日')
            return QString();
        const QDate date{int(first), int(month), int(day)};
        return date.isValid() ? date.toString(Qt::ISODate) : QString();
    }
    // "N小时前", "N分钟前" or "N天前".
    qint64 seconds = 0;
    if (unit == QStringLiteral("小时前"))
        seconds = first * 3600;
    else if (unit == QStringLiteral("分钟前"))
        seconds = first * 60;
    else if (unit == QStringLiteral("天前"))
        seconds = first * 86400;
    else
        return QString();
    return startedAt.isValid() ? isoDateTime(startedAt.addSecs(-seconds)) : QString();
}

QStringList csvColumns()
{
    return {QStringLiteral("domain"), QStringLiteral("site"), QStringLiteral("links"), QStringLiteral("latest_date"),
            QStringLiteral("latest_date_iso"), QStringLiteral("latest_address"), QStringLiteral("outcome")};
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
        IsoDates iso(analysis.startedAt);
        const QString outcome = outcomeName(analysis.outcome());
        QString out;
        out.reserve(rows * 130);
        for (qsizetype row = 1; row <= rows; ++row) {
            const QString &date = r.SiteLatestDates.at(row);
            appendCsvRecord(out, {analysis.domain, r.SiteNames.at(row), QString::number(r.SiteLinkCounts.at(row)),
                                  date, iso.of(date), r.SiteLatestUrls.at(row), outcome});
        }
        // A domain that ended with no site still has its row, so that every analysed domain
        // shows in the file with how it ended.
        if (rows == 0)
            appendCsvRecord(out, {analysis.domain, QString(), QString(), QString(), QString(), QString(), outcome});
        return out.toUtf8();
    }
    case ExportFormat::Json:
        return QJsonDocument(exportJson(analysis)).toJson(QJsonDocument::Compact) + '\n';
    case ExportFormat::Html:
        return htmlAnalysisPage(analysis);
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
    IsoDates isoDates(analysis.startedAt);
    // Every row starts as a copy of one that holds all its keys, and gets its values put in:
    // far cheaper for a large table than five insertions into an empty object.
    const QJsonObject blankRow{{QStringLiteral("site"), QJsonValue()},
                               {QStringLiteral("links"), QJsonValue()},
                               {QStringLiteral("latest_date"), QJsonValue()},
                               {QStringLiteral("latest_date_iso"), QJsonValue()},
                               {QStringLiteral("latest_address"), QJsonValue()}};
    QJsonArray rows;
    for (qsizetype row = 1; row <= rowCount; ++row) {
        const QString &date = r.SiteLatestDates.at(row);
        const QString &iso = isoDates.of(date);
        QJsonObject object = blankRow;
        object[QLatin1String("site")] = r.SiteNames.at(row);
        object[QLatin1String("links")] = r.SiteLinkCounts.at(row);
        object[QLatin1String("latest_date")] = date;
        object[QLatin1String("latest_date_iso")] = iso.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(iso);
        object[QLatin1String("latest_address")] = r.SiteLatestUrls.at(row);
        rows.append(object);
    }
    const QString failure = analysis.outcome() == AnalysisOutcome::Complete ? QString()
                            : analysis.failure.isEmpty()                    ? failureOf(analysis)
                                                                            : analysis.failure;
    return QJsonObject{
        {QStringLiteral("domain"), analysis.domain},
        {QStringLiteral("engine"), analysis.engine},
        {QStringLiteral("started_at"), isoDateTime(analysis.startedAt)},
        {QStringLiteral("finished_at"), isoDateTime(analysis.finishedAt)},
        {QStringLiteral("status"), analysis.status},
        {QStringLiteral("outcome"), outcomeName(analysis.outcome())},
        {QStringLiteral("engine_total"), analysis.engineTotal() ? QJsonValue(*analysis.engineTotal())
                                                                : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("sites"), analysis.hasReport() ? QJsonValue(qint64(rowCount)) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("pages_requested"), analysis.pagesRequested},
        {QStringLiteral("pages_read"), analysis.pagesRead},
        {QStringLiteral("failure"), failure.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(failure)},
        {QStringLiteral("rows"), rows},
    };
}

} // namespace korvane
