#pragma once

#include "loopback_server.h"

#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

// Answers a request with a fault of the connection or of HTTP itself; returns false when
// fault names none of these, so that a test can serve its own kinds.
inline bool serveTransportFault(const QString &fault, const LoopbackServer::Request &request,
                                QTcpSocket *s)
{
    if (fault == u"stall") {
        // no answer at all; the socket stays open
    } else if (fault == u"headers") {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    } else if (fault == u"trickle") {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
        auto *timer = new QTimer(s);
        QObject::connect(timer, &QTimer::timeout, s, [s] { s->write("x"); });
        timer->start(50);
    } else if (fault == u"short") {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<span class=\"user-name twemoji\">cut");
        s->disconnectFromHost();
    } else if (fault == u"reset") {
        s->abort(); // closed before any answer: an empty reply
    } else if (fault == u"rst") {
        // Closed with a reset, as a dropped connection of a busy site is.
        const linger hard{1, 0};
        setsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        s->abort();
    } else if (fault == u"loop") {
        LoopbackServer::respond(s, 302, "text/html", "", {{"Location", request.path}});
    } else if (fault == u"garbage") {
        static const char tlsHello[] = "\x16\x03\x01\x00 not http at all\r\n\r\n";
        s->write(tlsHello, sizeof tlsHello - 1); // bytes of another protocol, a NUL among them
        s->disconnectFromHost();
    } else {
        return false;
    }
    return true;
}
