#pragma once

#include "run_settings.h"

#include <functional>

// The wait for a site that has stopped answering (a router, a deploy) or answers with pages
// that are no profiles (a verification page): nothing is asked of it but a probe, again after
// a wait that doubles each time, until the probe says it is back or the patience is spent.
// The run's loop turns it; times are on the run's clock.
class QuietSite
{
public:
    // Told when the wait begins and every second of it, with the time to the next probe.
    using Told = std::function<void(qint64 msToTry, bool waitBegins)>;
    QuietSite(const RetryPolicy &policy, qint64 nowMs, Told told);

    enum class Step { Wait, Probe, Over };
    // What is due at nowMs: the wait goes on (told each second), the probe is to be asked, or
    // the patience is spent.
    Step at(qint64 nowMs);
    qint64 dueMs() const { return m_tellAtMs; } // when at() has something new to say
    // The probe found the site still away: the next wait is twice as long.
    void notBack();

private:
    const RetryPolicy &m_policy;
    Told m_told;
    qint64 m_beganMs;
    qint64 m_waitMs;
    qint64 m_tryAtMs = -1; // -1: the next wait has not begun
    qint64 m_tellAtMs = 0;
    bool m_begins = true;
};
