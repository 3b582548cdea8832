#include "politeness.h"

#include "pageutil.h"

namespace {
bool asksToSlowDown(const Module1::FetchOutcome &outcome)
{
    return outcome.httpStatus == 429 || outcome.httpStatus == 503 || outcome.retryAfterMs >= 0;
}
} // namespace

Politeness::Politeness(int most, int goodToGrow)
    : m_most(qMax(1, most)), m_goodToGrow(qMax(1, goodToGrow)), m_limit(m_most)
{
}

int Politeness::limit() const { return m_limit; }
qint64 Politeness::openAtMs() const { return m_openAt; }

void Politeness::answered(const Module1::FetchOutcome &outcome, qint64 nowMs, int slowDownMs, int maxWaitMs)
{
    if (asksToSlowDown(outcome)) {
        const qint64 wait = outcome.retryAfterMs >= 0 ? qMin<qint64>(outcome.retryAfterMs, maxWaitMs) : slowDownMs;
        m_openAt = qMax(m_openAt, nowMs + wait);
        m_limit = qMax(1, m_limit / 2);
        m_good = 0;
        return;
    }
    // Only an answer counts as good; a dropped connection says nothing either way.
    if (outcome.transport != Module1::Transport::Ok)
        return;
    if (++m_good >= m_goodToGrow) {
        m_good = 0;
        m_limit = qMin(m_most, m_limit + 1);
    }
}
