#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port. Each request goes to the
// handler with its socket, so a handler can answer normally, stall, trickle or hang up.
class LoopbackServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    using Handler = std::function<void(const Request &, QTcpSocket *)>;

    explicit LoopbackServer(Handler handler, QObject *parent = nullptr);

    bool listen(quint16 port = 0); // 127.0.0.1; 0 picks a free port
    quint16 port() const;
    QByteArray baseUrl() const; // http://127.0.0.1:PORT
    int requestCount() const;
    void setHandler(Handler handler);

    // A complete response with Content-Length, kept alive.
    static void respond(QTcpSocket *socket, int status, const QByteArray &contentType,
                        const QByteArray &body,
                        const QList<QPair<QByteArray, QByteArray>> &extraHeaders = {});

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);

    QTcpServer m_server;
    Handler m_handler;
    int m_requests = 0;
};
