#include "webhook_receiver.h"

namespace korvane::testing {

WebhookReceiver::WebhookReceiver(QObject *parent) : QObject(parent)
{
    m_server.setHandler([this](const HttpTestServer::Request &) {
        const Answer answer = m_answers.isEmpty() ? Answer::Ok
                                                  : m_answers.at(std::min<qsizetype>(m_answered, m_answers.size() - 1));
        ++m_answered;
        const QByteArray json = QByteArrayLiteral("application/json");
        switch (answer) {
        case Answer::Ok:
            return HttpTestServer::Response::html(R"({"errcode":0,"errmsg":"ok"})", json);
        case Answer::ServerError:
            return HttpTestServer::Response::error(500);
        case Answer::Silence:
            return HttpTestServer::Response::html(R"({"errcode":0})", json).after(std::chrono::seconds(60));
        case Answer::PlatformError:
            return HttpTestServer::Response::html(R"({"errcode":310000,"errmsg":"keywords not in content"})", json);
        }
        return HttpTestServer::Response::error(500);
    });
}

bool WebhookReceiver::start()
{
    return m_server.start();
}

} // namespace korvane::testing
