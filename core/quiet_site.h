#pragma once

#include "run_settings.h"

#include <QString>

#include <functional>

class RunHost;

// The wait for a site that has stopped answering (a router, a deploy): nothing is asked of it
// but the first ID of the streak, again after a wait that doubles each time, until the site
// answers or the patience is spent. Stop and closing end the wait at once.
class QuietSite
{
public:
    enum class Silence { Answers, Over, Stopped };
    // nowMs is the run's clock; keepWaiting is false once the run is stopped or closing.
    QuietSite(RunHost &host, const RunSettings &settings, std::function<qint64()> nowMs,
              std::function<bool()> keepWaiting);

    // Waits asking for url, the page of resumeAt; the host is told as the wait goes on.
    Silence wait(qint64 resumeAt, const QString &url);

private:
    // Asks for url once: 1 when the site answered with a page or no profile, 0 when it did
    // not, -1 when the run was stopped meanwhile.
    int ask(const QString &url);

    RunHost &m_host;
    const RunSettings &m_settings;
    std::function<qint64()> m_nowMs;
    std::function<bool()> m_keepWaiting;
};
