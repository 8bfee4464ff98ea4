#include "http_test_proxy.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace korvane::testing {

namespace {

constexpr qsizetype kMaxHeadBytes = 64 * 1024;

// Headers that concern only the hop between client and proxy.
bool isHopHeader(const QByteArray &name)
{
    static const QList<QByteArray> hop{"connection", "keep-alive", "proxy-connection", "proxy-authorization",
                                       "proxy-authenticate", "te", "trailer", "upgrade"};
    return hop.contains(name.toLower());
}

} // namespace

HttpTestProxy::HttpTestProxy(QObject *parent) : QObject(parent) {}

HttpTestProxy::~HttpTestProxy()
{
    stop();
}

bool HttpTestProxy::start()
{
    if (m_server && m_server->isListening())
        return true;
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &HttpTestProxy::acceptConnections);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        return false;
    m_port = m_server->serverPort();
    return true;
}

void HttpTestProxy::stop()
{
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    // Every socket is a child of this object: dropping them ends every relay.
    const QList<QTcpSocket *> sockets = findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_buffers.clear();
}

QString HttpTestProxy::urlText(const QString &user, const QString &password) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    url.setUserName(user);
    url.setPassword(password);
    return url.toString(QUrl::FullyEncoded);
}

void HttpTestProxy::requireCredentials(const QByteArray &user, const QByteArray &password)
{
    const QByteArray credentials = user + ':' + password;
    m_expectedAuthorization = "Basic " + credentials.toBase64();
}

void HttpTestProxy::acceptConnections()
{
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { readFrom(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            m_buffers.remove(client);
            client->deleteLater();
        });
    }
}

void HttpTestProxy::readFrom(QTcpSocket *client)
{
    if (!m_buffers.contains(client) && client->property("handled").toBool()) {
        client->readAll(); // one request a connection
        return;
    }
    QByteArray &buffer = m_buffers[client];
    buffer += client->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (buffer.size() > kMaxHeadBytes)
            refuse(client, 431, "Request Header Fields Too Large");
        return;
    }
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    HttpTestServer::Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() != 3) {
        refuse(client, 400, "Bad Request");
        return;
    }
    request.method = first[0];
    request.target = first[1];
    request.version = first[2];
    qsizetype contentLength = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            contentLength = value.toLongLong();
    }
    if (buffer.size() < headEnd + 4 + contentLength)
        return;
    request.body = buffer.mid(headEnd + 4, contentLength);
    m_buffers.remove(client);
    client->setProperty("handled", true);
    m_requests.append(request);
    emit requestReceived(request.target);
    handle(client, request);
}

void HttpTestProxy::refuse(QTcpSocket *client, int status, const QByteArray &reason, const QByteArray &extraHeaders)
{
    m_buffers.remove(client);
    client->setProperty("handled", true);
    const QByteArray body = QByteArray::number(status) + ' ' + reason + '\n';
    client->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n" + extraHeaders
                  + "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size())
                  + "\r\nConnection: close\r\n\r\n" + body);
    client->disconnectFromHost();
}

void HttpTestProxy::handle(QTcpSocket *client, const HttpTestServer::Request &request)
{
    if (request.method == "CONNECT")
        return refuse(client, 405, "Method Not Allowed");
    if (!m_expectedAuthorization.isEmpty() && request.header("Proxy-Authorization") != m_expectedAuthorization)
        return refuse(client, 407, "Proxy Authentication Required",
                      "Proxy-Authenticate: Basic realm=\"korvane tests\"\r\n");
    const QUrl url(QString::fromLatin1(request.target), QUrl::StrictMode);
    const QString host = url.host();
    if (!url.isValid() || url.scheme() != QLatin1String("http")
        || (host != QLatin1String("127.0.0.1") && host != QLatin1String("localhost")))
        return refuse(client, 403, "Forbidden");

    // The origin sees the target exactly as the client wrote it, less scheme and authority.
    const qsizetype authority = request.target.indexOf("://") + 3;
    qsizetype pathStart = authority;
    while (pathStart < request.target.size() && request.target[pathStart] != '/' && request.target[pathStart] != '?')
        ++pathStart;
    QByteArray path = request.target.mid(pathStart);
    if (!path.startsWith('/'))
        path.prepend('/');
    QByteArray head = request.method + ' ' + path + ' ' + request.version + "\r\n";
    for (const auto &[name, value] : request.headers) {
        if (!isHopHeader(name))
            head += name + ": " + value + "\r\n";
    }
    head += "Connection: close\r\n\r\n";

    m_forwarded.append(request.target);
    auto *origin = new QTcpSocket(this);
    QPointer<QTcpSocket> peer = client;
    connect(origin, &QTcpSocket::connected, this, [origin, head, body = request.body] {
        origin->write(head + body);
    });
    connect(origin, &QTcpSocket::readyRead, this, [origin, peer] {
        if (peer)
            peer->write(origin->readAll());
    });
    connect(origin, &QTcpSocket::disconnected, this, [origin, peer] {
        if (peer) {
            peer->write(origin->readAll());
            peer->disconnectFromHost();
        }
        origin->deleteLater();
    });
    connect(origin, &QTcpSocket::errorOccurred, this, [this, origin, peer](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            return; // the answer's end: handled by disconnected
        if (peer && origin->state() != QAbstractSocket::ConnectedState)
            refuse(peer, 502, "Bad Gateway");
        origin->deleteLater();
    });
    connect(client, &QTcpSocket::disconnected, origin, [origin] { origin->abort(); });
    origin->connectToHost(host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host, url.port(80));
}

} // namespace korvane::testing
