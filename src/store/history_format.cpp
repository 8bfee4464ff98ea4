#include "history_format.h"

#include "export/csv.h"
#include "export/exporter.h"

#include <QJsonArray>
#include <QJsonValue>

namespace korvane {

namespace {

// Columns on a terminal: 1 for ASCII, 2 for anything else (a surrogate pair counts once).
qsizetype columns(const QString &text)
{
    qsizetype width = 0;
    for (const QChar c : text)
        width += c.unicode() < 0x80 ? 1 : (c.isLowSurrogate() ? 0 : 2);
    return width;
}

QString padRight(const QString &text, qsizetype width)
{
    return text + QString(std::max<qsizetype>(width - columns(text), 0), QLatin1Char(' '));
}

QString padLeft(const QString &text, qsizetype width)
{
    return QString(std::max<qsizetype>(width - columns(text), 0), QLatin1Char(' ')) + text;
}

QString number(const std::optional<qint64> &value) { return value ? QString::number(*value) : QString(); }

QJsonValue jsonNumber(const std::optional<qint64> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue jsonTime(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(isoDateTime(time.toLocalTime())) : QJsonValue(QJsonValue::Null);
}

QString shownTime(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("?");
}

QByteArray bom(bool byteOrderMark) { return byteOrderMark ? QByteArrayLiteral("\xEF\xBB\xBF") : QByteArray(); }

// A row as the report lays one out: the site in 26 characters, the count right-aligned in 5,
// the date in 10 columns, then the address.
QString reportRow(const QString &site, const QString &count, const QString &date, const QString &address)
{
    return site + QString(std::max<qsizetype>(26 - site.size(), 0), QLatin1Char(' ')) + QStringLiteral("  ")
        + padLeft(count, 5) + QStringLiteral("      ") + padRight(date, 10) + QStringLiteral("   ") + address
        + QLatin1Char('\n');
}

QString sideName(const StoredAnalysis &analysis, const QString &name)
{
    const QString which = name.isEmpty() ? QStringLiteral("分析%1").arg(analysis.id) : name;
    return which + QStringLiteral("(") + shownTime(analysis.finishedAt) + QStringLiteral(")");
}

QJsonObject sideJson(const StoredAnalysis &analysis)
{
    return QJsonObject{
        {QStringLiteral("id"), analysis.id > 0 ? QJsonValue(analysis.id) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("finished_at"), jsonTime(analysis.finishedAt)},
        {QStringLiteral("engine_total"), jsonNumber(analysis.engineTotal)},
        {QStringLiteral("sites"), analysis.sites},
    };
}

QJsonArray sitesJson(const QList<StoredSite> &sites)
{
    QJsonArray array;
    for (const StoredSite &site : sites)
        array.append(QJsonObject{
            {QStringLiteral("site"), site.site},
            {QStringLiteral("links"), site.links},
            {QStringLiteral("latest_date"), site.latestDate},
            {QStringLiteral("latest_date_iso"),
             site.latestDateIso.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(site.latestDateIso)},
            {QStringLiteral("latest_address"), site.latestAddress},
        });
    return array;
}

} // namespace

QByteArray historyText(const QString &domain, const QList<HistoryEntry> &entries)
{
    QString text = QStringLiteral("对域名%1的分析历史:    分析次数= %2\n").arg(domain).arg(entries.size());
    text += QStringLiteral("    编号  完成时间             结果          外链总数  站点数量    新增    消失\n");
    for (const HistoryEntry &entry : entries) {
        const StoredAnalysis &a = entry.analysis;
        text += padLeft(QString::number(a.id), 8) + QStringLiteral("  ") + padRight(shownTime(a.finishedAt), 19)
            + QStringLiteral("  ") + padRight(a.outcome, 10) + padLeft(number(a.engineTotal), 12)
            + padLeft(QString::number(a.sites), 10) + padLeft(number(entry.newSites), 8)
            + padLeft(number(entry.lostSites), 8);
        if (!a.failure.isEmpty()) // why it is incomplete, after the figures
            text += QStringLiteral("  ") + a.failure;
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

QByteArray historyCsvHead(bool byteOrderMark)
{
    QString head;
    appendCsvRecord(head, {QStringLiteral("id"), QStringLiteral("started_at"), QStringLiteral("finished_at"),
                           QStringLiteral("outcome"), QStringLiteral("engine_total"), QStringLiteral("sites"),
                           QStringLiteral("new"), QStringLiteral("lost"), QStringLiteral("failure")});
    return bom(byteOrderMark) + head.toUtf8();
}

QByteArray historyCsvBody(const QList<HistoryEntry> &entries)
{
    QString out;
    for (const HistoryEntry &entry : entries) {
        const StoredAnalysis &a = entry.analysis;
        appendCsvRecord(out, {QString::number(a.id), isoDateTime(a.startedAt.toLocalTime()),
                              isoDateTime(a.finishedAt.toLocalTime()), a.outcome, number(a.engineTotal),
                              QString::number(a.sites), number(entry.newSites), number(entry.lostSites),
                              a.failure});
    }
    return out.toUtf8();
}

QJsonObject historyJson(const QString &domain, const QList<HistoryEntry> &entries)
{
    QJsonArray analyses;
    for (const HistoryEntry &entry : entries) {
        const StoredAnalysis &a = entry.analysis;
        analyses.append(QJsonObject{
            {QStringLiteral("id"), a.id},
            {QStringLiteral("started_at"), jsonTime(a.startedAt)},
            {QStringLiteral("finished_at"), jsonTime(a.finishedAt)},
            {QStringLiteral("outcome"), a.outcome},
            {QStringLiteral("engine_total"), jsonNumber(a.engineTotal)},
            {QStringLiteral("sites"), a.sites},
            {QStringLiteral("new"), jsonNumber(entry.newSites)},
            {QStringLiteral("lost"), jsonNumber(entry.lostSites)},
            {QStringLiteral("failure"), a.failure.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(a.failure)},
        });
    }
    return QJsonObject{{QStringLiteral("domain"), domain}, {QStringLiteral("analyses"), analyses}};
}

QByteArray diffText(const SiteDiff &diff, const QString &fromName, const QString &toName)
{
    const QString titles = QStringLiteral("      域名                外链数量   最新外链日期    最新外链地址\n");
    QString text = QStringLiteral("对域名%1的外链变化:    %2 -> %3\n")
                       .arg(diff.to.domain, sideName(diff.from, fromName), sideName(diff.to, toName));
    text += QStringLiteral("新增站点= %1\n").arg(diff.added.size());
    if (!diff.added.isEmpty())
        text += titles;
    for (const StoredSite &site : diff.added)
        text += reportRow(site.site, QString::number(site.links), site.latestDate, site.latestAddress);
    text += QStringLiteral("消失站点= %1\n").arg(diff.lost.size());
    if (!diff.lost.isEmpty())
        text += titles;
    for (const StoredSite &site : diff.lost)
        text += reportRow(site.site, QString::number(site.links), site.latestDate, site.latestAddress);
    text += QStringLiteral("外链数变化= %1\n").arg(diff.changed.size());
    if (!diff.changed.isEmpty())
        text += QStringLiteral("      域名                原外链数   现外链数\n");
    for (const LinkChange &change : diff.changed) {
        QString row = change.site + QString(std::max<qsizetype>(26 - change.site.size(), 0), QLatin1Char(' '))
            + QStringLiteral("  ") + padLeft(QString::number(change.linksBefore), 5) + QStringLiteral("      ")
            + padLeft(QString::number(change.linksAfter), 5);
        text += row + QLatin1Char('\n');
    }
    text += QString(95, QLatin1Char('-')) + QLatin1Char('\n');
    return text.toUtf8();
}

QByteArray diffCsvHead(bool byteOrderMark)
{
    QString head;
    appendCsvRecord(head, {QStringLiteral("change"), QStringLiteral("site"), QStringLiteral("links_before"),
                           QStringLiteral("links_after"), QStringLiteral("latest_date"), QStringLiteral("latest_address")});
    return bom(byteOrderMark) + head.toUtf8();
}

QByteArray diffCsvBody(const SiteDiff &diff)
{
    QString out;
    for (const StoredSite &site : diff.added)
        appendCsvRecord(out, {QStringLiteral("new"), site.site, QString(), QString::number(site.links), site.latestDate,
                              site.latestAddress});
    for (const StoredSite &site : diff.lost)
        appendCsvRecord(out, {QStringLiteral("lost"), site.site, QString::number(site.links), QString(), site.latestDate,
                              site.latestAddress});
    for (const LinkChange &change : diff.changed)
        appendCsvRecord(out, {QStringLiteral("changed"), change.site, QString::number(change.linksBefore),
                              QString::number(change.linksAfter), change.latestDate, change.latestAddress});
    return out.toUtf8();
}

QJsonObject diffJson(const SiteDiff &diff)
{
    QJsonArray changed;
    for (const LinkChange &change : diff.changed)
        changed.append(QJsonObject{{QStringLiteral("site"), change.site},
                                   {QStringLiteral("links_before"), change.linksBefore},
                                   {QStringLiteral("links_after"), change.linksAfter}});
    return QJsonObject{
        {QStringLiteral("domain"), diff.to.domain},
        {QStringLiteral("from"), sideJson(diff.from)},
        {QStringLiteral("to"), sideJson(diff.to)},
        {QStringLiteral("new"), sitesJson(diff.added)},
        {QStringLiteral("lost"), sitesJson(diff.lost)},
        {QStringLiteral("changed"), changed},
    };
}

} // namespace korvane
