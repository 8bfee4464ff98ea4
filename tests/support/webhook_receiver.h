#pragma once

#include "http_test_server.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

namespace korvane::testing {

// A chat robot's webhook on 127.0.0.1 for the alert tests: records every request (target and
// body) and answers as told, one answer a request in order, the last one repeated.
class WebhookReceiver : public QObject
{
    Q_OBJECT
public:
    enum class Answer {
        Ok,            // 200 {"errcode":0,"errmsg":"ok"}
        ServerError,   // 500
        Silence,       // no answer for a minute (the sender's timeout ends the try)
        PlatformError, // 200 {"errcode":310000,"errmsg":"keywords not in content"}
    };

    explicit WebhookReceiver(QObject *parent = nullptr);

    bool start();
    void stop() { m_server.stop(); }
    // http://127.0.0.1:<port><pathAndQuery>
    QString url(const QString &pathAndQuery) const { return m_server.urlText(pathAndQuery); }

    // From the next request on.
    void setAnswers(const QList<Answer> &answers)
    {
        m_answers = answers;
        m_answered = 0;
    }

    QList<HttpTestServer::Request> requests() const { return m_server.requests(); }
    int count() const { return m_server.requestCount(); }
    QByteArray lastBody() const { return requests().isEmpty() ? QByteArray() : requests().constLast().body; }
    HttpTestServer &server() { return m_server; }

private:
    HttpTestServer m_server;
    QList<Answer> m_answers{Answer::Ok};
    int m_answered = 0;
};

} // namespace korvane::testing
