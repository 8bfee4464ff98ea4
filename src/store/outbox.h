#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace korvane {

class HistoryStore;

// Where alerts go: a webhook address, or "mailto:ADDR". Stored targets (set for every domain,
// or for one) have an id; a target given on the command line has none and is not stored:
// each outbox message carries a copy of its target all the same.
struct AlertTarget
{
    qint64 id = 0;    // the stored target's id; 0 for one given on the command line
    QString domain;   // empty: every domain
    QString address;  // the webhook's URL, or "mailto:ADDR"
    QString format;   // "json", "wecom", "dingtalk", "feishu", "slack" or "mail"
    QString secret;   // signs DingTalk and Feishu messages; empty when there is none

    bool isMail() const { return address.startsWith(QLatin1String("mailto:")); }
};

// One message of the outbox: one event for one target.
struct OutboxMessage
{
    qint64 id = 0;
    QString eventId;        // the event's id, the same for every try and every target
    QString event;          // "changed", "failing" or "recovered"
    QString domain;
    qint64 analysisId = 0;  // the analysis the event is about
    AlertTarget target;
    QByteArray payload;     // the event's JSON object
    QString state;          // "pending", "delivered" or "failed"
    int tries = 0;
    QDateTime createdAt;
    QDateTime nextTryAt;    // when a pending message is due
    QDateTime lastTryAt;    // invalid before the first try
    QString lastAnswer;     // what the last try got (masked), empty before the first
};

inline const QString kOutboxPending = QStringLiteral("pending");
inline const QString kOutboxDelivered = QStringLiteral("delivered");
inline const QString kOutboxFailed = QStringLiteral("failed");

// The alert targets and the outbox of a history store. Every message is written here before
// it is sent; a sender claims a message for a while before it sends it, so that two processes
// on one store never send one message at once, and marks it delivered (or tried, or failed)
// in one statement when the answer comes.
class Outbox
{
public:
    // Uses the open store `store` (opened for writing, except for the reading functions).
    explicit Outbox(HistoryStore &store);

    // The stored targets: for `domain`, the global ones and that domain's; for an empty
    // `domain`, every one. In the order they were added.
    std::optional<QList<AlertTarget>> targets(const QString &domain = QString());
    // Stores a target (its id is not used); the new id.
    std::optional<qint64> addTarget(const AlertTarget &target);
    // Removes a stored target; whether there was one. Messages already written for it stay.
    std::optional<bool> removeTarget(qint64 id);

    // Writes the messages as pending, due at once (their nextTryAt = createdAt), in one
    // transaction; their ids, in order.
    std::optional<QList<qint64>> enqueue(const QList<OutboxMessage> &messages);

    // Claims, until now + claimSeconds, the pending messages that no one else holds: every
    // one (`dueOnly` false), or those due by `now`; with `wanted` given, those whose id it
    // accepts. The messages claimed, oldest first.
    std::optional<QList<OutboxMessage>> claim(const QDateTime &now, int claimSeconds, bool dueOnly,
                                              const std::function<bool(qint64)> &wanted = {});
    // After a try: delivered; or tried again at `nextTry`; or (no nextTry) failed for good.
    // Only a pending message changes. False on a database failure.
    bool markDelivered(qint64 id, const QString &answer, const QDateTime &now);
    bool markTried(qint64 id, const QString &answer, const QDateTime &now, const std::optional<QDateTime> &nextTry);

    // Gives up a claim on a pending message (a sender that stops before its answer came).
    bool release(qint64 id);

    // The latest messages, newest first.
    std::optional<QList<OutboxMessage>> recent(int limit);
    // The message with this id: nullopt on failure, an empty optional inside when there is none.
    std::optional<std::optional<OutboxMessage>> message(qint64 id);
    // Whether an `event` of `domain` about an analysis with an id above `afterAnalysisId` was
    // written.
    std::optional<bool> hasEventAfter(const QString &domain, const QString &event, qint64 afterAnalysisId);
    // When the next pending message is due (or its claim by another sender runs out, if later);
    // an invalid time when none is pending.
    std::optional<QDateTime> nextDue();

    QString errorString() const { return m_error; }

private:
    bool failed(const QString &what, const QString &why);

    HistoryStore &m_store;
    QString m_error;
};

} // namespace korvane
