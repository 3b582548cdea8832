#include "harvest_run.h"
#include "quiet_host.h"
#include "loopback_server.h"
#include "pageutil.h"
#include "profile_site.h"
#include "result_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTcpSocket>
#include <QTextStream>

namespace {
// A quarter of the IDs answer their first one or two requests with a fault a busy site
// shows; the rest, and every later request, get the demo site's page.
class FlakySite
{
public:
    explicit FlakySite(bool flaky)
        : m_server([this, flaky](const LoopbackServer::Request &r, QTcpSocket *s) { serve(r, s, flaky); })
    {
        m_server.listen();
    }
    QString baseUrl() const { return QString::fromLatin1(m_server.baseUrl() + "/u/"); }
    int requests() const { return m_server.requestCount(); }

private:
    void serve(const LoopbackServer::Request &r, QTcpSocket *s, bool flaky)
    {
        const qint64 id = r.path.mid(3).toLongLong();
        const int seen = m_seen[id]++;
        const quint64 h = quint64(id) * 0x9E3779B97F4A7C15ull >> 40;
        const int faults = h % 4 == 0 ? 1 + int(h / 4 % 2) : 0;
        if (!flaky || seen >= faults) {
            ProfileSite::serve(r, s);
            return;
        }
        switch (h / 8 % 6) {
        case 0: LoopbackServer::respond(s, 503, "text/html", "busy"); break;
        case 1: LoopbackServer::respond(s, 429, "text/html", "slow down", {{"Retry-After", "1"}}); break;
        case 2: s->abort(); break; // closed before an answer: an empty reply
        case 3: s->write("HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\ncut"); s->disconnectFromHost(); break;
        case 4: LoopbackServer::respond(s, 502, "text/html", "bad gateway"); break;
        default: LoopbackServer::respond(s, 504, "text/html", "gateway timeout"); break;
        }
    }
    LoopbackServer m_server;
    QHash<qint64, int> m_seen;
};


void harvest(QTextStream &out, const char *what, bool flaky, bool retries)
{
    RunSettings settings;
    if (!retries)
        settings.retries.delaysMs.clear(); // one attempt, as a run without retries makes
    FlakySite site(flaky);
    const TimedHarvest took = timedHarvest(site.baseUrl(), 1, 50, 97, settings);
    out << what << ": rows " << took.rows << ", requests " << site.requests() << ", failed " << took.failed
        << ", seconds " << QString::number(took.seconds, 'f', 1) << "\n";
    out.flush();
}
} // namespace

// The default range (97 IDs, pause 50 ms) on the demo site, steady and flaky, with and
// without retries.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    harvest(out, "steady site", false, true);
    harvest(out, "flaky site, one attempt", true, false);
    harvest(out, "flaky site, retries", true, true);
    return 0;
}
