#pragma once

#include "alert_events.h"
#include "browser/proxy_rules.h"
#include "store/outbox.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <functional>

class QNetworkAccessManager;

namespace korvane {

class HistoryStore;

// Alerts from recorded analyses to their targets, through the store's outbox, on the event
// loop of the thread that made it. Used by korvane-cli (--record, work) and usable by any
// long-running program on a store.
//
// - analysisRecorded() works out the analysis's events, writes one message per event and
//   target to the outbox (the targets given here and the store's own for that domain), and
//   sends them at once.
// - A message is delivered on a 2xx answer whose body is no platform error (errcode or code
//   other than 0), or when sendmail exits 0; it is then marked delivered at once. Anything
//   else (no answer within the timeout included) is a failed try. Four tries in all: a
//   long-running sender (`retryLater`) tries again 1, 5 and 30 minutes after a failure; every
//   sender, at finish(), sends what the outbox still holds undelivered from earlier runs.
// - After the fourth failure the message is marked failed and stays listed.
//
// Webhooks go through the proxy the environment names (http_proxy, https_proxy, no_proxy),
// not through the engine's --proxy: that one is there for the search engine.
class AlertDelivery : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int kTries = 4;
    // The wait after the first, second and third failed try.
    static constexpr std::chrono::minutes kRetryAfter[] = {std::chrono::minutes(1), std::chrono::minutes(5),
                                                           std::chrono::minutes(30)};

    struct Settings
    {
        QList<AlertTarget> targets;  // besides the store's own (given on the command line)
        AlertRules rules;
        std::chrono::milliseconds timeout{10000}; // a try without an answer by then fails
        QString sendmail = QStringLiteral("/usr/sbin/sendmail -t -oi");
        bool retryLater = false;     // long-running: retry due messages on a timer
        Clock clock;                 // now, in UTC; the system clock when not set
        ProxyRules proxies = ProxyRules::fromEnvironment();
    };

    AlertDelivery(HistoryStore &store, Settings settings, QObject *parent = nullptr);
    ~AlertDelivery() override;

    // The events of a recorded analysis, written and sent. False when the outbox could not be
    // written (errorString()); the analysis stays recorded all the same.
    bool analysisRecorded(const QString &domain, qint64 analysisId);
    // Sends the pending messages that are due (all of them with `dueOnly` false), except
    // those tried by this object already.
    void sendPending(bool dueOnly);
    // Sends every pending message not yet tried by this object, then emits finished() once
    // nothing is in flight.
    void finish();
    bool busy() const { return m_inFlight > 0; }
    // The process stops: the messages whose answer has not come are left pending, free for
    // the next sender at once. Nothing is sent or marked after this.
    void abandon();

    QString errorString() const { return m_error; }

signals:
    // One try ended. `target` is masked; `answer` too.
    void tried(const QString &event, const QString &domain, const QString &target, bool delivered, int tries,
               bool willRetry, const QString &answer);
    // A failure of the store (masked).
    void problem(const QString &message);
    void finished();

private:
    QDateTime now() const;
    void sendAll(const QList<OutboxMessage> &messages);
    void sendWebhook(const OutboxMessage &message);
    void sendMail(const OutboxMessage &message);
    void answered(const OutboxMessage &message, bool delivered, const QString &answer);
    void scheduleRetry();
    void checkFinished();

    HistoryStore &m_store;
    Outbox m_outbox;
    Settings m_settings;
    QNetworkAccessManager *m_network = nullptr;
    QTimer m_retry;
    QSet<qint64> m_tried;  // messages tried in this process
    QSet<qint64> m_waiting; // messages sent whose answer has not come
    int m_inFlight = 0;
    bool m_abandoned = false;
    bool m_finishing = false;
    QString m_error;
};

// The answer of a webhook, as a try's result: whether it delivered the message, and a
// short description ("HTTP 200", "HTTP 500: …", "errcode 310000: …").
struct WebhookAnswer
{
    bool delivered = false;
    QString text;
};
WebhookAnswer judgeWebhookAnswer(int httpStatus, const QByteArray &body);

} // namespace korvane
