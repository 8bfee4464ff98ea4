#pragma once

#include <QAbstractHttpServer>

namespace korvane {

class WebApp;

// Qt HTTP Server's side: each request it has read is handed to the WebApp as it is, and the
// answer written back. No HTTP is parsed here.
class HttpFront : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit HttpFront(WebApp &app, QObject *parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    WebApp &m_app;
};

} // namespace korvane
