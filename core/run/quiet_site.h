#pragma once

#include "run_settings.h"

#include <QString>

#include <functional>

// The wait for a site that has stopped answering (a router, a deploy) or answers with pages
// that are no profiles (a verification page): nothing is asked of it but a probe, again after
// a wait that doubles each time, until the probe says it is back or the patience is spent.
// Stop and closing end the wait at once.
class QuietSite
{
public:
    enum class Silence { Answers, Over, Stopped };
    // 1 the site is back, 0 not yet, -1 the run was stopped meanwhile.
    using Probe = std::function<int()>;
    // Told when the wait begins and every second of it, with the time to the next probe.
    using Told = std::function<void(qint64 msToTry, bool waitBegins)>;
    // nowMs is the run's clock; keepWaiting is false once the run is stopped or closing.
    QuietSite(const RunSettings &settings, std::function<qint64()> nowMs, std::function<bool()> keepWaiting);

    // The probes are the run's own requests, on the road every request of it takes.
    Silence wait(const Probe &probe, const Told &told);

private:
    const RunSettings &m_settings;
    std::function<qint64()> m_nowMs;
    std::function<bool()> m_keepWaiting;
};
