#include "alert_delivery.h"

#include "alert_formats.h"
#include "masking.h"
#include "store/history_store.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QProcess>

#include <algorithm>

namespace korvane {

namespace {

// A claim on a message outlasts any try: the timeout is far shorter.
constexpr int kClaimSeconds = 300;
constexpr qsizetype kAnswerShown = 200;

QString shortBody(const QByteArray &body)
{
    QString text = QString::fromUtf8(body).simplified();
    if (text.size() > kAnswerShown)
        text = text.left(kAnswerShown) + QStringLiteral("…");
    return text;
}

QString timeoutText(std::chrono::milliseconds timeout)
{
    return timeout.count() % 1000 == 0 ? QStringLiteral("no answer within %1 s").arg(timeout.count() / 1000)
                                       : QStringLiteral("no answer within %1 ms").arg(timeout.count());
}

} // namespace

WebhookAnswer judgeWebhookAnswer(int httpStatus, const QByteArray &body)
{
    WebhookAnswer answer;
    const QString shown = shortBody(body);
    if (httpStatus < 200 || httpStatus > 299) {
        answer.text = QStringLiteral("HTTP %1").arg(httpStatus) + (shown.isEmpty() ? QString() : QStringLiteral(": ") + shown);
        return answer;
    }
    // WeCom and DingTalk answer {"errcode":0,...}; Feishu {"code":0,...}: anything else is
    // the platform refusing the message, even with 200.
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    for (const char *key : {"errcode", "code", "StatusCode"}) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isDouble() && value.toInteger() != 0) {
            answer.text = QStringLiteral("HTTP %1: %2 %3").arg(httpStatus).arg(QLatin1String(key)).arg(value.toInteger())
                + (shown.isEmpty() ? QString() : QStringLiteral(": ") + shown);
            return answer;
        }
    }
    answer.delivered = true;
    answer.text = QStringLiteral("HTTP %1").arg(httpStatus) + (shown.isEmpty() ? QString() : QStringLiteral(": ") + shown);
    return answer;
}

AlertDelivery::AlertDelivery(HistoryStore &store, Settings settings, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_outbox(store)
    , m_settings(std::move(settings))
    , m_network(new QNetworkAccessManager(this))
{
    m_network->setProxyFactory(new ProxyRulesFactory(m_settings.proxies));
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { sendPending(true); });
}

AlertDelivery::~AlertDelivery() = default;

QDateTime AlertDelivery::now() const
{
    return m_settings.clock ? m_settings.clock().toUTC() : QDateTime::currentDateTimeUtc();
}

bool AlertDelivery::analysisRecorded(const QString &domain, qint64 analysisId)
{
    const auto stored = m_outbox.targets(domain);
    if (!stored) {
        m_error = m_outbox.errorString();
        return false;
    }
    const QList<AlertTarget> targets = m_settings.targets + *stored;
    if (targets.isEmpty())
        return true;
    const QDateTime time = now();
    QString error;
    const auto events = eventsOfAnalysis(m_store, m_outbox, domain, analysisId, m_settings.rules, time, &error);
    if (!events) {
        m_error = error;
        return false;
    }
    QList<OutboxMessage> messages;
    for (const QJsonObject &event : *events) {
        for (const AlertTarget &target : targets) {
            OutboxMessage m;
            m.eventId = event.value(QLatin1String("id")).toString();
            m.event = event.value(QLatin1String("event")).toString();
            m.domain = domain;
            m.analysisId = analysisId;
            m.target = target;
            m.payload = QJsonDocument(event).toJson(QJsonDocument::Compact);
            m.createdAt = time;
            messages.append(m);
        }
    }
    if (messages.isEmpty())
        return true;
    const auto ids = m_outbox.enqueue(messages);
    if (!ids) {
        m_error = m_outbox.errorString();
        return false;
    }
    const QSet<qint64> wanted(ids->cbegin(), ids->cend());
    const auto claimed = m_outbox.claim(time, kClaimSeconds, false, [&wanted](qint64 id) { return wanted.contains(id); });
    if (!claimed) {
        m_error = m_outbox.errorString();
        return false;
    }
    sendAll(*claimed);
    return true;
}

void AlertDelivery::sendPending(bool dueOnly)
{
    const auto claimed = m_outbox.claim(now(), kClaimSeconds, dueOnly, [this](qint64 id) { return !m_tried.contains(id); });
    if (!claimed) {
        emit problem(m_outbox.errorString());
        checkFinished();
        return;
    }
    sendAll(*claimed);
    if (m_inFlight == 0) {
        scheduleRetry();
        checkFinished();
    }
}

void AlertDelivery::finish()
{
    m_finishing = true;
    m_retry.stop();
    sendPending(false);
}

void AlertDelivery::sendAll(const QList<OutboxMessage> &messages)
{
    for (const OutboxMessage &m : messages) {
        m_tried.insert(m.id);
        m_waiting.insert(m.id);
        ++m_inFlight;
        if (m.target.isMail())
            sendMail(m);
        else
            sendWebhook(m);
    }
}

void AlertDelivery::sendWebhook(const OutboxMessage &message)
{
    const QJsonObject event = QJsonDocument::fromJson(message.payload).object();
    const WebhookRequest request = webhookRequest(message.target, event, now());
    QNetworkRequest networkRequest(request.url);
    networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json; charset=utf-8"));
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Korvane/" KORVANE_VERSION));
    QNetworkReply *reply = m_network->post(networkRequest, request.body);
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    auto timedOut = std::make_shared<bool>(false);
    connect(timer, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    timer->start(m_settings.timeout);
    connect(reply, &QNetworkReply::finished, this, [this, reply, message, timedOut] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (*timedOut) {
            answered(message, false, timeoutText(m_settings.timeout));
        } else if (status == 0) {
            answered(message, false, reply->errorString());
        } else {
            const WebhookAnswer answer = judgeWebhookAnswer(status, reply->readAll());
            answered(message, answer.delivered, answer.text);
        }
    });
}

void AlertDelivery::sendMail(const OutboxMessage &message)
{
    const QJsonObject event = QJsonDocument::fromJson(message.payload).object();
    const QString to = message.target.address.mid(int(qstrlen("mailto:")));
    QStringList command = QProcess::splitCommand(m_settings.sendmail);
    auto *process = new QProcess(this);
    auto done = std::make_shared<bool>(false);
    const auto end = [this, process, message, done](bool delivered, const QString &answer) {
        if (*done)
            return;
        *done = true;
        process->deleteLater();
        answered(message, delivered, answer);
    };
    auto *timer = new QTimer(process);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, process, [process, end, this] {
        end(false, QStringLiteral("sendmail: ") + timeoutText(m_settings.timeout));
        process->kill();
    });
    connect(process, &QProcess::errorOccurred, this, [process, end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(false, QStringLiteral("cannot start %1: %2").arg(process->program(), process->errorString()));
    });
    connect(process, &QProcess::finished, this, [process, end](int code, QProcess::ExitStatus status) {
        const QString err = shortBody(process->readAllStandardError());
        if (status == QProcess::NormalExit && code == 0)
            end(true, QStringLiteral("sendmail: exit 0"));
        else
            end(false, QStringLiteral("sendmail: %1%2")
                           .arg(status == QProcess::NormalExit ? QStringLiteral("exit %1").arg(code)
                                                               : QStringLiteral("crashed"),
                                err.isEmpty() ? QString() : QStringLiteral(": ") + err));
    });
    if (command.isEmpty()) {
        end(false, QStringLiteral("no sendmail command"));
        return;
    }
    const QString program = command.takeFirst();
    timer->start(m_settings.timeout);
    process->start(program, command);
    process->write(mailMessage(to, event, now()));
    process->closeWriteChannel();
}

void AlertDelivery::abandon()
{
    m_abandoned = true;
    m_retry.stop();
    for (const qint64 id : std::as_const(m_waiting))
        m_outbox.release(id);
    m_waiting.clear();
}

void AlertDelivery::answered(const OutboxMessage &message, bool delivered, const QString &rawAnswer)
{
    if (m_abandoned)
        return;
    m_waiting.remove(message.id);
    const QString answer = redacted(rawAnswer, message.target);
    const QDateTime time = now();
    const int tries = message.tries + 1;
    std::optional<QDateTime> nextTry;
    if (!delivered && tries < kTries)
        nextTry = time.addSecs(std::chrono::duration_cast<std::chrono::seconds>(kRetryAfter[tries - 1]).count());
    const bool marked = delivered ? m_outbox.markDelivered(message.id, answer, time)
                                  : m_outbox.markTried(message.id, answer, time, nextTry);
    if (!marked)
        emit problem(m_outbox.errorString());
    emit tried(message.event, message.domain, maskedAddress(message.target.address), delivered, tries,
               nextTry.has_value(), answer);
    --m_inFlight;
    if (m_inFlight == 0) {
        scheduleRetry();
        checkFinished();
    }
}

void AlertDelivery::scheduleRetry()
{
    if (!m_settings.retryLater || m_finishing)
        return;
    const auto due = m_outbox.nextDue();
    if (!due || !due->isValid())
        return;
    // Messages this process tried come back only when due; others are sent at the next look.
    const qint64 wait = std::max<qint64>(0, now().msecsTo(*due));
    m_tried.clear();
    m_retry.start(std::chrono::milliseconds(std::clamp<qint64>(wait, 1000, 24LL * 3600 * 1000)));
}

void AlertDelivery::checkFinished()
{
    if (m_finishing && m_inFlight == 0)
        emit finished();
}

} // namespace korvane
