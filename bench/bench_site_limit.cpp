#include "profile_site.h"
#include "quiet_host.h"

#include <QCoreApplication>
#include <QTextStream>

// A far profile site that limits its rate as real sites do (a leaky bucket with a burst,
// refusing the rest with 429 or 503 and no Retry-After): the demo site on 127.0.0.1 answering
// LATENCY ms late. Harvests IDS IDs at pause 0 with 8 and 16 requests in flight, for limits of
// 20 and 50 requests a second (bursts 10 and 20), and prints the seconds, the share of the limit
// used ((IDs - burst) / rate over the time taken), the requests refused and the peak in flight.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int latency = args.value(1, QStringLiteral("100")).toInt();
    const int ids = args.value(2, QStringLiteral("400")).toInt();
    QTextStream out(stdout);
    out << "latency_ms " << latency << " ids " << ids << "\n";
    const struct
    {
        int rate, burst;
    } limits[] = {{20, 10}, {50, 20}};
    for (const auto &limit : limits) {
        for (int status : {429, 503}) {
            for (int parallel : {8, 16}) {
                ProfileSite site;
                site.listen();
                site.setDelayMs(latency);
                site.server().setRateLimit(limit.rate, limit.burst, status);
                const TimedHarvest took = timedHarvest(site.profileBaseUrl(), parallel, 0, ids);
                const double seconds = took.seconds;
                const int refused = site.server().refusedCount();
                const int requests = refused + site.server().acceptedCount();
                out << "limit " << limit.rate << "/s burst " << limit.burst << " refusal " << status << " parallel "
                    << parallel << " seconds " << QString::number(seconds, 'f', 1) << " share_of_limit "
                    << QString::number(double(ids - limit.burst) / limit.rate / seconds, 'f', 3) << " refused "
                    << refused << " (" << QString::number(100.0 * refused / qMax(1, requests), 'f', 1) << "%)"
                    << " peak_in_flight " << site.peakInFlight() << " rows " << took.rows
                    << " failed " << took.failed << "\n";
                out.flush();
            }
        }
    }
    return 0;
}
