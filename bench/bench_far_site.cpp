#include "quiet_host.h"
#include "profile_site.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <vector>

// A profile site far away: the demo site on 127.0.0.1 answering every request LATENCY ms
// late, many at a time. Harvests IDS IDs at 1, 2, 4, 8 and 16 requests in flight, pause 0 and
// 50 ms, and prints the rate against the floor (the rate that the latency, the number in flight
// and the pause allow at best) and the most requests the site had in flight at once. Then what
// the gentle opening costs a site that never refuses (alone with "opening" as the third
// argument): at 8 and 16 in flight, ROUNDS times each
// side by side, a run that does not know the site against one that starts at full width (the
// site's pace kept as never refused), and the median difference in seconds.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int latency = args.value(1, QStringLiteral("100")).toInt();
    const int ids = args.value(2, QStringLiteral("200")).toInt();
    QTextStream out(stdout);
    out << "latency_ms " << latency << " ids " << ids << "\n";
    // bench_far_site LATENCY IDS opening [ROUNDS]: the opening's cost alone.
    const bool openingOnly = args.value(3) == u"opening";
    for (int pause : {0, 50}) {
        if (openingOnly)
            break;
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
    const int rounds = args.value(4, QStringLiteral("5")).toInt();
    for (int parallel : {8, 16}) {
        std::vector<double> opened, full;
        for (int round = 0; round < rounds; ++round) {
            for (bool known : {false, true}) {
                ProfileSite site;
                site.listen();
                site.setDelayMs(latency);
                RunSettings settings;
                if (known)
                    settings.pace = KeptPace{0, 0, -1, parallel};
                (known ? full : opened).push_back(timedHarvest(site.profileBaseUrl(), parallel, 0, ids, settings).seconds);
            }
        }
        std::sort(opened.begin(), opened.end());
        std::sort(full.begin(), full.end());
        out << "opening at " << parallel << " in flight: median " << QString::number(opened[opened.size() / 2], 'f', 3)
            << " s against " << QString::number(full[full.size() / 2], 'f', 3) << " s at full width from the start, "
            << QString::number(opened[opened.size() / 2] - full[full.size() / 2], 'f', 3) << " s more\n";
        out.flush();
    }
    return 0;
}
