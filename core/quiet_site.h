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

    Silence wait(const Probe &probe, const Told &told);

    // Asks for url once and waits for the answer into page; false when the run was stopped meanwhile.
    bool ask(const QString &url, Module1::FetchOutcome &why, Module1::Page &page);
    // The probe of a silent site: whether url answers with a page or no profile.
    int answers(const QString &url);

private:
    const RunSettings &m_settings;
    std::function<qint64()> m_nowMs;
    std::function<bool()> m_keepWaiting;
};
