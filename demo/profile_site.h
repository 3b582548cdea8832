#pragma once

#include "loopback_server.h"

// The demo's profile site: /u/ID serves the generated page of ID, or a not-found page.
class ProfileSite : public QObject
{
    Q_OBJECT
public:
    explicit ProfileSite(QObject *parent = nullptr);

    bool listen(quint16 port = 0);
    QString profileBaseUrl() const; // http://127.0.0.1:PORT/u/
    int requestCount() const;
    // Every answer comes ms late, as from a site far away; answers are still served side by side.
    void setDelayMs(int ms);
    int peakInFlight() const;
    // The server itself, for a rate limit and its counts.
    LoopbackServer &server() { return m_server; }
    // Pages near bytes long (40,000 by default), for harvests of millions in little time.
    static void setPageBytes(int bytes);
    // The site as it is weeks after the first: counters grown, some grades changed, some
    // profiles gone and new ones; fans from 10,000 on shown as "1.2万".
    static void setWeek(int week);

    // The answer of the site to one request, for servers of other sites to reuse.
    static void serve(const LoopbackServer::Request &request, QTcpSocket *socket);

private:

    LoopbackServer m_server;
};
