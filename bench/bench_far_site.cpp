#include "quiet_host.h"
#include "profile_site.h"

#include <QCoreApplication>
#include <QTextStream>

// A profile site far away: the demo site on 127.0.0.1 answering every request LATENCY ms
// late, many at a time. Harvests IDS IDs at 1, 2, 4, 8 and 16 requests in flight, pause 0 and
// 50 ms, and prints the rate against the floor (the rate that the latency, the number in flight
// and the pause allow at best) and the most requests the site had in flight at once.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int latency = args.value(1, QStringLiteral("100")).toInt();
    const int ids = args.value(2, QStringLiteral("200")).toInt();
    QTextStream out(stdout);
    out << "latency_ms " << latency << " ids " << ids << "\n";
    for (int pause : {0, 50}) {
        for (int parallel : {1, 2, 4, 8, 16}) {
            ProfileSite site;
            site.listen();
            site.setDelayMs(latency);
            const TimedHarvest took = timedHarvest(site.profileBaseUrl(), parallel, pause, ids);
            const double seconds = took.seconds;
            // One at a time, a pause follows each answer; beyond one it spaces the starts.
            const double floorSeconds = parallel == 1 ? ids * (latency + pause) / 1000.0
                                                      : ids * qMax(double(latency) / parallel, double(pause)) / 1000.0;
            out << "pause " << pause << " parallel " << parallel << " ids_per_sec "
                << QString::number(ids / seconds, 'f', 1) << " floor_ids_per_sec "
                << QString::number(ids / floorSeconds, 'f', 1) << " of_floor "
                << QString::number(floorSeconds / seconds, 'f', 3) << " peak_in_flight " << site.peakInFlight()
                << " rows " << took.rows << "\n";
            out.flush();
        }
    }
    return 0;
}
