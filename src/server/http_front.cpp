#include "http_front.h"

#include "web_app.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QMetaEnum>

namespace korvane {

HttpFront::HttpFront(WebApp &app, QObject *parent) : QAbstractHttpServer(parent), m_app(app) {}

bool HttpFront::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    HttpRequest in;
    const char *method = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(request.method()));
    in.method = method ? QByteArray(method).toUpper() : QByteArrayLiteral("UNKNOWN");
    in.path = request.url().path(QUrl::FullyDecoded);
    in.query = request.query();
    for (const auto &[name, value] : request.headers())
        in.headers.insert(name.toLower(), value);
    in.body = request.body();
    in.remoteAddress = request.remoteAddress().toString();
    HttpResponse out = m_app.handle(in);
    if (in.method == "HEAD")
        out.body.clear(); // the headers of a GET, without its body
    QHttpServerResponse response(out.contentType, out.body, QHttpServerResponder::StatusCode(out.status));
    for (const auto &[name, value] : out.headers)
        response.addHeader(name, value);
    response.write(makeResponder(request, socket));
    return true;
}

void HttpFront::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

} // namespace korvane
