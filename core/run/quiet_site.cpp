#include "quiet_site.h"

QuietSite::QuietSite(const RetryPolicy &policy, qint64 nowMs, Told told)
    : m_policy(policy), m_told(std::move(told)), m_beganMs(nowMs), m_waitMs(policy.firstSilentWaitMs), m_tellAtMs(nowMs)
{
}

QuietSite::Step QuietSite::at(qint64 nowMs)
{
    if (m_tryAtMs < 0) {
        const qint64 spent = nowMs - m_beganMs;
        if (spent >= m_policy.patienceMs)
            return Step::Over;
        m_tryAtMs = nowMs + qMin(m_waitMs, m_policy.patienceMs - spent);
        m_tellAtMs = nowMs;
    }
    if (nowMs >= m_tryAtMs) {
        m_tryAtMs = -1;
        return Step::Probe;
    }
    // Told every second, so that a status line counts down to the next try.
    if (nowMs >= m_tellAtMs) {
        const qint64 left = m_tryAtMs - nowMs;
        m_told(left, m_begins);
        m_begins = false;
        m_tellAtMs = nowMs + qMin<qint64>(left, 1000);
    }
    return Step::Wait;
}

void QuietSite::notBack()
{
    m_waitMs = qMin(m_waitMs * 2, m_policy.longestSilentWaitMs);
    m_tellAtMs = 0; // the next wait begins at once
}
