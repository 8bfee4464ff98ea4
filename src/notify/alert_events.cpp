#include "alert_events.h"

#include "store/history_format.h"
#include "store/history_store.h"
#include "store/outbox.h"

#include <QJsonArray>
#include <QUuid>

namespace korvane {

namespace {

QJsonObject eventHead(const QString &event, const QString &domain, const QString &id, const QDateTime &time)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("event"), event},
                       {QStringLiteral("domain"), domain},
                       {QStringLiteral("time"), time.toUTC().toString(Qt::ISODate)}};
}

QJsonValue jsonTotal(const std::optional<qint64> &total) { return total ? QJsonValue(*total) : QJsonValue(); }

} // namespace

QString failureReasonOf(const StoredAnalysis &analysis)
{
    if (analysis.complete())
        return QString();
    // Analyses recorded before the store kept a reason have only their status line.
    return analysis.failure.isEmpty() ? analysis.status : analysis.failure;
}

QString newEventId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QJsonObject changedEvent(const SiteDiff &diff, const QString &id, const QDateTime &time)
{
    const QJsonObject computed = diffJson(diff);
    QJsonObject event = eventHead(QStringLiteral("changed"), diff.to.domain, id, time);
    event.insert(QStringLiteral("analysis_id"), diff.to.id);
    event.insert(QStringLiteral("previous_id"), diff.from.id);
    event.insert(QStringLiteral("engine_total"), jsonTotal(diff.to.engineTotal));
    event.insert(QStringLiteral("sites"), diff.to.sites);
    for (const char *key : {"from", "to", "new", "lost", "changed"})
        event.insert(QLatin1String(key), computed.value(QLatin1String(key)));
    return event;
}

QJsonObject failingEvent(const QList<StoredAnalysis> &run, const QString &id, const QDateTime &time)
{
    QJsonObject event = eventHead(QStringLiteral("failing"), run.isEmpty() ? QString() : run.constLast().domain, id, time);
    QJsonArray analyses;
    for (const StoredAnalysis &a : run) {
        const QString reason = failureReasonOf(a);
        analyses.append(QJsonObject{
            {QStringLiteral("id"), a.id},
            {QStringLiteral("finished_at"), a.finishedAt.toUTC().toString(Qt::ISODate)},
            {QStringLiteral("outcome"), a.outcome},
            {QStringLiteral("status"), a.status},
            {QStringLiteral("reason"), reason.isEmpty() ? QJsonValue() : QJsonValue(reason)},
        });
    }
    event.insert(QStringLiteral("analysis_id"), run.isEmpty() ? 0 : run.constLast().id);
    event.insert(QStringLiteral("count"), qint64(run.size()));
    event.insert(QStringLiteral("analyses"), analyses);
    return event;
}

QJsonObject recoveredEvent(const StoredAnalysis &analysis, int failuresBefore, const QString &id, const QDateTime &time)
{
    QJsonObject event = eventHead(QStringLiteral("recovered"), analysis.domain, id, time);
    event.insert(QStringLiteral("analysis_id"), analysis.id);
    event.insert(QStringLiteral("engine_total"), jsonTotal(analysis.engineTotal));
    event.insert(QStringLiteral("sites"), analysis.sites);
    event.insert(QStringLiteral("failures"), failuresBefore);
    return event;
}

std::optional<QList<QJsonObject>> eventsOfAnalysis(HistoryStore &store, Outbox &outbox, const QString &domain,
                                                   qint64 analysisId, const AlertRules &rules, const QDateTime &now,
                                                   QString *error)
{
    const auto list = store.analyses(domain);
    if (!list) {
        *error = store.errorString();
        return std::nullopt;
    }
    qsizetype at = -1;
    for (qsizetype i = 0; i < list->size(); ++i)
        if (list->at(i).id == analysisId)
            at = i;
    QList<QJsonObject> events;
    if (at < 0)
        return events;
    const StoredAnalysis &current = list->at(at);
    // The run of incomplete analyses that ends here (or just before a complete one), and the
    // complete analysis before it.
    qsizetype runStart = at;
    while (runStart > 0 && !list->at(runStart - 1).complete())
        --runStart;
    const qint64 previousCompleteId = runStart > 0 ? list->at(runStart - 1).id : 0;

    if (!current.complete()) {
        const QList<StoredAnalysis> run = list->mid(runStart, at - runStart + 1);
        if (run.size() >= rules.failures) {
            const auto sent = outbox.hasEventAfter(domain, QStringLiteral("failing"), previousCompleteId);
            if (!sent) {
                *error = outbox.errorString();
                return std::nullopt;
            }
            if (!*sent)
                events.append(failingEvent(run, newEventId(), now));
        }
        return events; // an incomplete analysis is never compared with anything
    }

    if (runStart > 0) {
        const StoredAnalysis &previous = list->at(runStart - 1);
        const auto fromSites = store.sites(previous.id);
        const auto toSites = fromSites ? store.sites(current.id) : std::nullopt;
        if (!toSites) {
            *error = store.errorString();
            return std::nullopt;
        }
        const SiteDiff diff = diffSites(previous, *fromSites, current, *toSites);
        if (diff.added.size() + diff.lost.size() >= rules.threshold)
            events.append(changedEvent(diff, newEventId(), now));
    }
    if (runStart < at) {
        // Failures before this one: recovered, when they were reported as failing.
        const auto sent = outbox.hasEventAfter(domain, QStringLiteral("failing"), previousCompleteId);
        if (!sent) {
            *error = outbox.errorString();
            return std::nullopt;
        }
        if (*sent)
            events.append(recoveredEvent(current, int(at - runStart), newEventId(), now));
    }
    return events;
}

} // namespace korvane
