#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

#include <functional>
#include <memory>

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
        bool refused = false; // over the rate limit: answered with its refusal, the handler not asked
    };
    using Handler = std::function<void(const Request &, QTcpSocket *)>;
    // How long the answer to a request is held back, as a far site's would be; 0 answers at once.
    using Delay = std::function<int(const Request &)>;

    explicit LoopbackServer(Handler handler, QObject *parent = nullptr);

    bool listen(quint16 port = 0); // 127.0.0.1; 0 picks a free port
    // Serves HTTPS (HTTP/1.1) with this certificate chain and key, both PEM, from the next
    // listen on; false when TLS cannot be had (no TLS backend, a key that does not load).
    bool useTls(const QByteArray &certificatePem, const QByteArray &keyPem);
    quint16 port() const;
    QByteArray baseUrl() const; // http://127.0.0.1:PORT, or https://
    int requestCount() const;
    void setHandler(Handler handler);
    // Answers come after their delay, each on its own timer, so that many are pending at once.
    void setDelay(Delay delay);
    // Requests received and not yet answered: now, and the most there ever were.
    int inFlight() const;
    int peakInFlight() const;
    // A rate limit as real sites keep one (a leaky bucket): perSecond requests a second, burst
    // more at once, the rest refused at once with status and no Retry-After. 0 lifts it.
    void setRateLimit(double perSecond, int burst, int status = 429);
    int acceptedCount() const;
    int refusedCount() const;
    int handshakeCount() const { return m_handshakes; } // TLS handshakes begun, finished or not

    // A complete response with Content-Length, kept alive.
    static void respond(QTcpSocket *socket, int status, const QByteArray &contentType,
                        const QByteArray &body,
                        const QList<QPair<QByteArray, QByteArray>> &extraHeaders = {});

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);
    void answer(const Request &request, QTcpSocket *socket);

    std::unique_ptr<QTcpServer> m_server;
    bool m_tls = false;
    int m_handshakes = 0;
    Handler m_handler;
    int m_requests = 0;
    Delay m_delay;
    int m_inFlight = 0, m_peak = 0;
    QHash<QTcpSocket *, int> m_pending; // delayed answers per connection
    bool overTheLimit();
    double m_rate = 0, m_level = 0;
    int m_burst = 0, m_refusal = 429, m_accepted = 0, m_refused = 0;
    QElapsedTimer m_bucketClock;
    qint64 m_leakedAtNs = 0;
};
