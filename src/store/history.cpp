#include "history.h"

#include "export/exporter.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace korvane {

StoredAnalysis storedAnalysisOf(const FinishedAnalysis &analysis)
{
    StoredAnalysis stored;
    stored.domain = analysis.domain;
    stored.engine = analysis.engine;
    stored.startedAt = analysis.startedAt;
    stored.finishedAt = analysis.finishedAt;
    stored.outcome = outcomeName(analysis.outcome());
    stored.engineTotal = analysis.engineTotal();
    stored.pagesRequested = analysis.pagesRequested;
    stored.pagesRead = analysis.pagesRead;
    stored.status = analysis.status;
    stored.failure = analysis.outcome() == AnalysisOutcome::Complete ? QString()
                     : analysis.failure.isEmpty()                    ? failureOf(analysis)
                                                                     : analysis.failure;
    stored.version = QStringLiteral(KORVANE_VERSION);
    const AnalysisRecord &r = analysis.record;
    const qsizetype slotCount = std::min({r.SiteNames.size(), r.SiteLinkCounts.size(), r.SiteLatestDates.size(),
                                      r.SiteLatestUrls.size()});
    stored.sites = std::max<qsizetype>(slotCount - 1, 0);
    return stored;
}

QList<StoredSite> storedSitesOf(const FinishedAnalysis &analysis)
{
    const AnalysisRecord &r = analysis.record;
    // A walk that stopped part-way may have left one column a row longer than the others:
    // only the rows every column holds are taken.
    const qsizetype slotCount = std::min({r.SiteNames.size(), r.SiteLinkCounts.size(), r.SiteLatestDates.size(),
                                      r.SiteLatestUrls.size()});
    QList<StoredSite> sites;
    sites.reserve(std::max<qsizetype>(slotCount - 1, 0));
    QHash<QString, QString> isoDates; // the same few date texts come again and again
    for (qsizetype row = 1; row < slotCount; ++row) {
        const QString &date = r.SiteLatestDates.at(row);
        auto iso = isoDates.constFind(date);
        if (iso == isoDates.cend())
            iso = isoDates.insert(date, isoDateOf(date, analysis.startedAt));
        sites.append({r.SiteNames.at(row), r.SiteLinkCounts.at(row), date, *iso, r.SiteLatestUrls.at(row)});
    }
    return sites;
}

SiteDiff diffSites(const StoredAnalysis &from, const QList<StoredSite> &fromSites, const StoredAnalysis &to,
                   const QList<StoredSite> &toSites)
{
    SiteDiff diff;
    diff.from = from;
    diff.to = to;
    QHash<QString, qint32> before;
    before.reserve(fromSites.size());
    for (const StoredSite &site : fromSites)
        before.insert(site.site, site.links);
    QHash<QString, bool> after;
    after.reserve(toSites.size());
    for (const StoredSite &site : toSites) {
        after.insert(site.site, true);
        const auto earlier = before.constFind(site.site);
        if (earlier == before.cend())
            diff.added.append(site);
        else if (*earlier != site.links)
            diff.changed.append({site.site, *earlier, site.links, site.latestDate, site.latestAddress});
    }
    for (const StoredSite &site : fromSites)
        if (!after.contains(site.site))
            diff.lost.append(site);
    return diff;
}

std::pair<qint64, qint64> countNewAndLost(const QSet<QString> &before, const QSet<QString> &after)
{
    qint64 added = 0;
    for (const QString &site : after)
        added += before.contains(site) ? 0 : 1;
    qint64 lost = 0;
    for (const QString &site : before)
        lost += after.contains(site) ? 0 : 1;
    return {added, lost};
}

namespace {

std::optional<ExportedAnalysis> analysisFromObject(const QJsonObject &object, QString *error)
{
    const auto text = [&object](const char *key) { return object.value(QLatin1String(key)).toString(); };
    const QJsonValue domain = object.value(QLatin1String("domain"));
    const QJsonValue rows = object.value(QLatin1String("rows"));
    if (!domain.isString() || domain.toString().isEmpty() || !rows.isArray()
        || !object.value(QLatin1String("outcome")).isString()) {
        *error = QStringLiteral("not an analysis of a Korvane JSON export (no domain, outcome or rows)");
        return std::nullopt;
    }
    ExportedAnalysis exported;
    StoredAnalysis &a = exported.analysis;
    a.domain = domain.toString();
    a.engine = text("engine");
    a.startedAt = QDateTime::fromString(text("started_at"), Qt::ISODate);
    a.finishedAt = QDateTime::fromString(text("finished_at"), Qt::ISODate);
    a.outcome = text("outcome");
    a.status = text("status");
    const QJsonValue total = object.value(QLatin1String("engine_total"));
    if (total.isDouble())
        a.engineTotal = qint64(total.toDouble());
    a.pagesRequested = object.value(QLatin1String("pages_requested")).toInt();
    a.pagesRead = object.value(QLatin1String("pages_read")).toInt();
    a.failure = object.value(QLatin1String("failure")).toString();
    const QJsonArray array = rows.toArray();
    exported.sites.reserve(array.size());
    for (const QJsonValue &value : array) {
        const QJsonObject row = value.toObject();
        const QJsonValue site = row.value(QLatin1String("site"));
        const QJsonValue links = row.value(QLatin1String("links"));
        if (!site.isString() || !links.isDouble()) {
            *error = QStringLiteral("a row of %1 has no site or no links").arg(a.domain);
            return std::nullopt;
        }
        exported.sites.append({site.toString(), qint32(links.toInt()), row.value(QLatin1String("latest_date")).toString(),
                               row.value(QLatin1String("latest_date_iso")).toString(),
                               row.value(QLatin1String("latest_address")).toString()});
    }
    a.sites = exported.sites.size();
    return exported;
}

} // namespace

std::optional<ExportedAnalysis> analysisFromJson(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                               : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    return analysisFromObject(document.object(), error);
}

std::optional<QList<ExportedAnalysis>> analysesFromExport(const QByteArray &bytes, QString *error)
{
    QList<ExportedAnalysis> analyses;
    // One object over several lines (an export made pretty by hand), or JSON Lines.
    QJsonParseError whole;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &whole);
    if (whole.error == QJsonParseError::NoError && document.isObject()) {
        auto one = analysisFromObject(document.object(), error);
        if (!one)
            return std::nullopt;
        analyses.append(std::move(*one));
        return analyses;
    }
    int lineNumber = 0;
    for (const QByteArray &line : bytes.split('\n')) {
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue;
        QString lineError;
        auto one = analysisFromJson(line, &lineError);
        if (!one) {
            *error = QStringLiteral("line %1: %2").arg(lineNumber).arg(lineError);
            return std::nullopt;
        }
        analyses.append(std::move(*one));
    }
    if (analyses.isEmpty()) {
        *error = QStringLiteral("no analysis in it");
        return std::nullopt;
    }
    return analyses;
}

QString storedTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")) : QString();
}

QDateTime timeFromStore(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

} // namespace korvane
