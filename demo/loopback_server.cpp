#include "loopback_server.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

LoopbackServer::LoopbackServer(Handler handler, QObject *parent)
    : QObject(parent), m_server(std::make_unique<QTcpServer>()), m_handler(std::move(handler))
{
    connect(m_server.get(), &QTcpServer::newConnection, this, &LoopbackServer::onConnection);
}

bool LoopbackServer::listen(quint16 port) { return m_server->listen(QHostAddress::LocalHost, port); }

bool LoopbackServer::useTls(const QByteArray &certificatePem, const QByteArray &keyPem)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    const QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
    if (!QSslSocket::supportsSsl() || chain.isEmpty() || key.isNull())
        return false;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(tls);
    connect(server.get(), &QSslServer::startedEncryptionHandshake, this, [this] { ++m_handshakes; });
    m_server = std::move(server);
    // A TLS connection is handed over once its handshake is done, later than it is announced.
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &LoopbackServer::onConnection);
    m_tls = true;
    return true;
}

quint16 LoopbackServer::port() const { return m_server->serverPort(); }

QByteArray LoopbackServer::baseUrl() const
{
    return (m_tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + QByteArray::number(port());
}

int LoopbackServer::requestCount() const { return m_requests; }

void LoopbackServer::setHandler(Handler handler) { m_handler = std::move(handler); }
void LoopbackServer::setDelay(Delay delay) { m_delay = std::move(delay); }
int LoopbackServer::inFlight() const { return m_inFlight; }
int LoopbackServer::peakInFlight() const { return m_peak; }
int LoopbackServer::acceptedCount() const { return m_accepted; }
int LoopbackServer::refusedCount() const { return m_refused; }

void LoopbackServer::setRateLimit(double perSecond, int burst, int status)
{
    if (!m_bucketClock.isValid())
        m_bucketClock.start();
    m_rate = perSecond;
    m_burst = burst;
    m_refusal = status;
}

bool LoopbackServer::overTheLimit()
{
    if (m_rate <= 0)
        return false;
    const qint64 now = m_bucketClock.nsecsElapsed();
    m_level = qMax(0.0, m_level - double(now - m_leakedAtNs) * m_rate / 1e9);
    m_leakedAtNs = now;
    if (m_level > m_burst) {
        ++m_refused;
        return true;
    }
    m_level += 1;
    ++m_accepted;
    return false;
}

void LoopbackServer::answer(const Request &request, QTcpSocket *socket)
{
    if (request.refused)
        respond(socket, m_refusal, "text/html", "<html>too many requests</html>");
    else if (m_handler)
        m_handler(request, socket);
}

void LoopbackServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { m_inFlight -= m_pending.take(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackServer::onReadable(QTcpSocket *socket)
{
    // Requests carry no body here, so a request ends at its blank line.
    QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
    qsizetype end;
    while ((end = pending.indexOf("\r\n\r\n")) >= 0) {
        const QList<QByteArray> lines = pending.left(end).split('\n');
        pending.remove(0, end + 4);
        const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
        Request request{words.value(0), words.value(1), {}};
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append({lines[i].left(colon).trimmed().toLower(),
                                        lines[i].mid(colon + 1).trimmed()});
        }
        ++m_requests;
        request.refused = overTheLimit();
        const int delay = m_delay ? m_delay(request) : 0;
        if (delay <= 0) {
            answer(request, socket);
            if (socket->state() != QAbstractSocket::ConnectedState)
                return;
            continue;
        }
        m_peak = qMax(m_peak, ++m_inFlight);
        ++m_pending[socket];
        QTimer::singleShot(delay, socket, [this, request, socket] {
            auto it = m_pending.find(socket);
            if (it == m_pending.end() || it.value() == 0)
                return; // the client hung up on it
            --it.value();
            --m_inFlight;
            answer(request, socket);
        });
    }
    socket->setProperty("pending", pending);
}

void LoopbackServer::respond(QTcpSocket *socket, int status, const QByteArray &contentType,
                             const QByteArray &body,
                             const QList<QPair<QByteArray, QByteArray>> &extraHeaders)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status)
        + (status == 200 ? " OK" : status == 404 ? " Not Found" : " Status") + "\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto &header : extraHeaders)
        head += header.first + ": " + header.second + "\r\n";
    head += "\r\n";
    socket->write(head + body);
}
