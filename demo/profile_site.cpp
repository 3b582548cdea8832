#include "profile_site.h"
#include "profile_pages.h"

ProfileSite::ProfileSite(QObject *parent)
    : QObject(parent),
      m_server(&ProfileSite::serve, this)
{
}

bool ProfileSite::listen(quint16 port) { return m_server.listen(port); }

QString ProfileSite::profileBaseUrl() const
{
    return QString::fromLatin1(m_server.baseUrl() + "/u/");
}

int ProfileSite::requestCount() const { return m_server.requestCount(); }

void ProfileSite::setDelayMs(int ms)
{
    m_server.setDelay([ms](const LoopbackServer::Request &) { return ms; });
}

int ProfileSite::peakInFlight() const { return m_server.peakInFlight(); }

namespace {
int s_pageBytes = 40000;
int s_week = 0;
}

void ProfileSite::setPageBytes(int bytes) { s_pageBytes = bytes; }
void ProfileSite::setWeek(int week) { s_week = week; }

void ProfileSite::serve(const LoopbackServer::Request &request, QTcpSocket *socket)
{
    bool ok = false;
    const qint64 id = request.path.startsWith("/u/") ? request.path.mid(3).toLongLong(&ok) : 0;
    const DemoPages::Profile profile = ok ? DemoPages::profile(id, s_week) : DemoPages::Profile();
    if (!profile.exists) {
        LoopbackServer::respond(socket, 404, "text/html; charset=utf-8", DemoPages::notFoundPage());
        return;
    }
    // GBK pages say so only inside the page, as older pages of such sites do.
    LoopbackServer::respond(socket, 200, profile.gbk ? "text/html" : "text/html; charset=utf-8",
                            DemoPages::page(profile, id, s_pageBytes));
}
