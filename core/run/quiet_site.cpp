#include "quiet_site.h"

#include "pageutil.h"

QuietSite::QuietSite(const RunSettings &settings, std::function<qint64()> nowMs, std::function<bool()> keepWaiting)
    : m_settings(settings), m_nowMs(std::move(nowMs)), m_keepWaiting(std::move(keepWaiting))
{
}

QuietSite::Silence QuietSite::wait(const Probe &probe, const Told &told)
{
    const RetryPolicy &policy = m_settings.retries;
    const qint64 began = m_nowMs();
    qint64 wait = policy.firstSilentWaitMs;
    for (bool begins = true;; begins = false) {
        const qint64 spent = m_nowMs() - began;
        if (spent >= policy.patienceMs)
            return Silence::Over;
        const qint64 tryAt = m_nowMs() + qMin(wait, policy.patienceMs - spent);
        // Told every second, so that a status line counts down to the next try.
        for (qint64 left = tryAt - m_nowMs(); left > 0; left = tryAt - m_nowMs()) {
            told(left, begins);
            begins = false;
            if (!Module1::waitMs(int(qMin<qint64>(left, 1000)), m_keepWaiting))
                return Silence::Stopped;
        }
        const int answered = probe();
        if (answered < 0)
            return Silence::Stopped;
        if (answered > 0)
            return Silence::Answers;
        wait = qMin(wait * 2, policy.longestSilentWaitMs);
    }
}
