#include "http_test_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace korvane::testing {

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return QByteArrayLiteral("OK");
    case 204: return QByteArrayLiteral("No Content");
    case 301: return QByteArrayLiteral("Moved Permanently");
    case 302: return QByteArrayLiteral("Found");
    case 303: return QByteArrayLiteral("See Other");
    case 307: return QByteArrayLiteral("Temporary Redirect");
    case 308: return QByteArrayLiteral("Permanent Redirect");
    case 400: return QByteArrayLiteral("Bad Request");
    case 403: return QByteArrayLiteral("Forbidden");
    case 404: return QByteArrayLiteral("Not Found");
    case 500: return QByteArrayLiteral("Internal Server Error");
    case 502: return QByteArrayLiteral("Bad Gateway");
    case 503: return QByteArrayLiteral("Service Unavailable");
    default: return QByteArrayLiteral("Status");
    }
}

bool hasHeader(const HttpTestServer::HeaderList &headers, const QByteArray &name)
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

// --- Request ---------------------------------------------------------------------------------

QByteArray HttpTestServer::Request::header(const QByteArray &name) const
{
    for (const auto &entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return QByteArray();
}

QString HttpTestServer::Request::path() const
{
    const qsizetype question = target.indexOf('?');
    const QByteArray raw = question < 0 ? target : target.left(question);
    return QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
}

QByteArray HttpTestServer::Request::query() const
{
    const qsizetype question = target.indexOf('?');
    return question < 0 ? QByteArray() : target.mid(question + 1);
}

// --- Response --------------------------------------------------------------------------------

HttpTestServer::Response HttpTestServer::Response::html(const QByteArray &body,
                                                        const QByteArray &contentType)
{
    Response response;
    response.body = body;
    response.headers.append({QByteArrayLiteral("Content-Type"), contentType});
    return response;
}

HttpTestServer::Response HttpTestServer::Response::redirect(const QByteArray &location, int status)
{
    Response response;
    response.status = status;
    response.headers.append({QByteArrayLiteral("Location"), location});
    return response;
}

HttpTestServer::Response HttpTestServer::Response::error(int status)
{
    Response response = html("<html><body><h1>" + QByteArray::number(status) + ' '
                             + reasonPhrase(status) + "</h1></body></html>");
    response.status = status;
    return response;
}

HttpTestServer::Response &HttpTestServer::Response::withHeader(const QByteArray &name,
                                                               const QByteArray &value)
{
    headers.append({name, value});
    return *this;
}

HttpTestServer::Response &HttpTestServer::Response::after(std::chrono::milliseconds wait)
{
    delay = wait;
    return *this;
}

HttpTestServer::Response &HttpTestServer::Response::endingWith(Ending how)
{
    ending = how;
    return *this;
}

// --- Server ----------------------------------------------------------------------------------

HttpTestServer::HttpTestServer(QObject *parent) : QObject(parent) {}

HttpTestServer::~HttpTestServer()
{
    stop();
}

bool HttpTestServer::start(quint16 port)
{
    stop();
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &HttpTestServer::acceptConnections);
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    m_port = m_server->serverPort();
    return true;
}

void HttpTestServer::stop()
{
    if (m_server != nullptr) {
        m_server->close();
        // Open connections are children of the listening socket and go with it.
        const auto sockets = m_server->findChildren<QTcpSocket *>();
        for (QTcpSocket *socket : sockets) {
            socket->disconnect(this);
            socket->abort();
        }
        // Later, not now: stop() may be called from inside one of this server's own signals.
        m_server->deleteLater();
        m_server = nullptr;
    }
    m_buffers.clear();
}

bool HttpTestServer::isListening() const
{
    return m_server != nullptr && m_server->isListening();
}

QUrl HttpTestServer::url(const QString &pathAndQuery) const
{
    return QUrl(urlText(pathAndQuery), QUrl::StrictMode);
}

QString HttpTestServer::urlText(const QString &pathAndQuery) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(pathAndQuery);
}

void HttpTestServer::setHandler(Handler handler)
{
    m_handler = std::move(handler);
}

void HttpTestServer::setRoute(const QString &path, const Response &response)
{
    m_routes.insert(path, response);
}

void HttpTestServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void HttpTestServer::readFrom(QTcpSocket *socket)
{
    auto buffer = m_buffers.find(socket);
    if (buffer == m_buffers.end()) {
        socket->readAll(); // already answered: one request per connection
        return;
    }
    buffer->append(socket->readAll());
    const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        if (buffer->size() > kMaxHeaderBytes) {
            m_buffers.erase(buffer);
            send(socket, QByteArray(), Response::error(400));
        }
        return;
    }

    Request request;
    const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.version = requestLine.value(2);
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
    const qsizetype bodyStart = headerEnd + 4;
    if (buffer->size() - bodyStart < contentLength)
        return; // wait for the rest of the body
    request.body = buffer->mid(bodyStart, contentLength);
    m_buffers.erase(buffer);

    m_requests.append(request);
    emit requestReceived(request.target);
    answer(socket, request);
}

HttpTestServer::Response HttpTestServer::responseFor(const Request &request) const
{
    if (m_handler)
        return m_handler(request);
    const auto route = m_routes.constFind(request.path());
    if (route != m_routes.constEnd())
        return *route;
    return Response::error(404);
}

void HttpTestServer::answer(QTcpSocket *socket, const Request &request)
{
    const Response response = responseFor(request);
    if (response.delay.count() > 0) {
        // The socket is the timer's context: a connection closed meanwhile cancels the answer.
        QTimer::singleShot(response.delay, socket, [this, socket, target = request.target, response] {
            send(socket, target, response);
        });
        return;
    }
    send(socket, request.target, response);
}

void HttpTestServer::send(QTcpSocket *socket, const QByteArray &target, const Response &response)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
        + (response.reason.isEmpty() ? reasonPhrase(response.status) : response.reason) + "\r\n";
    for (const auto &header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (!hasHeader(response.headers, "Content-Length")) {
        // A stalled answer announces more than it will ever send.
        const qsizetype announced = response.body.size()
            + (response.ending == Response::Ending::Stall ? 1024 : 0);
        head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    }
    if (!hasHeader(response.headers, "Connection"))
        head += "Connection: close\r\n";
    head += "\r\n";

    socket->write(head);
    switch (response.ending) {
    case Response::Ending::Complete:
        socket->write(response.body);
        socket->disconnectFromHost();
        break;
    case Response::Ending::Stall:
        socket->write(response.body);
        break;
    case Response::Ending::CloseMidBody:
        socket->write(response.body.left(response.body.size() / 2));
        socket->disconnectFromHost();
        break;
    }
    emit responseSent(target);
}

} // namespace korvane::testing
