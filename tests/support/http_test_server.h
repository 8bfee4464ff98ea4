#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace korvane::testing {

// A small HTTP/1.1 server on 127.0.0.1 for tests. Every answer is scripted by the test: either
// per path (setRoute) or by a handler that sees each request. Each connection carries one
// request and is closed after the answer ("Connection: close").
//
// Besides ordinary answers it can wait before answering, redirect, stall (send the headers and
// part of the body, then nothing more) and cut the connection in the middle of the body. To
// refuse connections, stop() the server: its port then answers with a refusal.
//
// Runs on the thread that created it, on that thread's event loop; no threads of its own.
class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    struct Request
    {
        QByteArray method;
        QByteArray target;   // the request target exactly as received: "/s?wd=a%20b"
        QByteArray version;  // "HTTP/1.1"
        HeaderList headers;  // in the order received, names as sent
        QByteArray body;

        // The first header of that name (compared without regard to case); empty when absent.
        QByteArray header(const QByteArray &name) const;
        // The target's path, percent-decoded ("/s").
        QString path() const;
        // The target's query, still encoded ("wd=a%20b"); empty when there is none.
        QByteArray query() const;
    };

    struct Response
    {
        enum class Ending {
            Complete,      // the whole body, then the connection is closed
            Stall,         // headers and the body sent, more announced, then silence
            CloseMidBody,  // headers and half the body, then the connection is closed
        };

        int status = 200;
        QByteArray reason;  // empty: the usual phrase for the status
        HeaderList headers; // Content-Length and Connection are added when absent
        QByteArray body;
        std::chrono::milliseconds delay{0}; // wait this long before answering
        Ending ending = Ending::Complete;

        static Response html(const QByteArray &body,
                             const QByteArray &contentType = QByteArrayLiteral("text/html; charset=utf-8"));
        static Response redirect(const QByteArray &location, int status = 302);
        static Response error(int status);
        Response &withHeader(const QByteArray &name, const QByteArray &value);
        Response &after(std::chrono::milliseconds wait);
        Response &endingWith(Ending how);
    };

    using Handler = std::function<Response(const Request &)>;

    explicit HttpTestServer(QObject *parent = nullptr);
    ~HttpTestServer() override;

    // Starts listening on 127.0.0.1; port 0 picks any free port. Returns false on failure.
    bool start(quint16 port = 0);
    // Stops listening and drops every open connection. Connections to the port are refused
    // from now on. start() may be called again.
    void stop();
    bool isListening() const;

    // The port listened on (kept after stop(), so a test can aim at the refused port).
    quint16 port() const { return m_port; }
    // http://127.0.0.1:<port> followed by `pathAndQuery` ("/s?wd=x"), parsed strictly.
    QUrl url(const QString &pathAndQuery = QStringLiteral("/")) const;
    // The same as text, for callers that compose their own address text.
    QString urlText(const QString &pathAndQuery = QStringLiteral("/")) const;

    // The handler decides every answer. Without one, routes are looked up by path; an
    // unknown path gets 404.
    void setHandler(Handler handler);
    void setRoute(const QString &path, const Response &response);

    // Every request received so far, in order of arrival.
    QList<Request> requests() const { return m_requests; }
    int requestCount() const { return int(m_requests.size()); }
    void clearRequests() { m_requests.clear(); }

signals:
    // A complete request was read (before the answer is sent).
    void requestReceived(const QByteArray &target);
    // An answer was written in full (Complete) or as far as it goes (Stall, CloseMidBody).
    void responseSent(const QByteArray &target);

private:
    void acceptConnections();
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);
    void send(QTcpSocket *socket, const QByteArray &target, const Response &response);
    Response responseFor(const Request &request) const;

    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    Handler m_handler;
    QHash<QString, Response> m_routes;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace korvane::testing
