#include "run_schedule.h"

#include "harvest_run.h"

namespace {
// How far beyond the oldest unfinished ID requests may run ahead, per request in flight:
// pages waiting for an earlier one are held, so this bounds what is held. One at a time, a
// new ID waits for the one before it.
qint64 window(int most) { return most > 1 ? 4 * qint64(most) : 1; }
} // namespace

RunSchedule::RunSchedule(RunHost &host, int most, qint64 lastPosition, int maxRetryAfterMs)
    : m_host(host), m_most(most), m_last(lastPosition), m_maxRetryAfterMs(maxRetryAfterMs),
      m_requests(0, lastPosition, window(most))
{
    m_clock.start();
}

qint64 RunSchedule::nowMs() const { return (m_clock.nsecsElapsed() + 999999) / 1000000; }

void RunSchedule::restartAt(qint64 from)
{
    m_requests = RequestSchedule(from, m_last, window(m_most));
    m_pace = SitePace();
    m_pauseEndMs = 0;
}

bool RunSchedule::answered(const Module1::FetchOutcome &outcome, qint64 startedMs)
{
    const double before = m_pace.requestsPerSecond();
    // Beyond one, a millisecond on top: the site's Retry-After counts from its answer, sent a
    // moment earlier.
    const bool refused = m_pace.answered(outcome, startedMs, nowMs() + (m_most > 1 ? 1 : 0), m_maxRetryAfterMs);
    if (m_pace.requestsPerSecond() != before)
        m_host.sitePace(m_pace.requestsPerSecond());
    return refused;
}

qint64 RunSchedule::dueMs(qint64 oldest, int inFlight) const
{
    const qint64 due = m_requests.dueMs(oldest);
    if (inFlight >= m_most || due < 0 || (m_pace.holding() && inFlight > 0))
        return -1;
    if (m_most > 1)
        return qMax(due, m_pace.openAtMs());
    // The pace's spacing as it stands now: the answer just in may have changed it.
    return qMax(qMax(due, m_pace.openAtMs()), qMax(m_lastStartMs + m_pace.spacingMs(), m_pauseEndMs));
}

std::optional<RequestSchedule::Next> RunSchedule::take(qint64 oldest, int inFlight)
{
    const qint64 now = nowMs();
    const qint64 due = dueMs(oldest, inFlight);
    if (due < 0 || due > now)
        return std::nullopt;
    return m_requests.take(now, oldest);
}

std::optional<RequestSchedule::Next> RunSchedule::takeAhead(qint64 oldest) { return m_requests.take(nowMs(), oldest + 1); }

qint64 RunSchedule::started()
{
    // Beyond one, the pause is read at each start (and a millisecond more: a request that goes
    // out on a new connection leaves a little later than one on a kept-alive connection).
    const qint32 pause = m_most > 1 ? m_host.pauseMs() : 0;
    m_lastStartMs = nowMs();
    m_pace.started(m_lastStartMs);
    const qint64 spacing = m_most > 1 ? qMax(pause > 0 ? qint64(pause) + 1 : 0, m_pace.spacingMs()) : 0;
    m_requests.started(m_lastStartMs, spacing);
    return m_lastStartMs;
}

bool RunSchedule::mayGoAhead() const
{
    return m_host.pauseMs() <= 0 && m_host.running() && !m_pace.limited() && m_pace.openAtMs() <= nowMs();
}

bool RunSchedule::goesAhead(const Module1::FetchOutcome *before)
{
    if (m_most > 1)
        return false;
    if (!before)
        return mayGoAhead();
    const bool settles = before->retryAfterMs < 0 && (before->httpStatus < 400 || before->httpStatus == 404);
    return settles && !m_pace.holding() && mayGoAhead();
}

void RunSchedule::answerIsFinal()
{
    if (m_most == 1)
        m_pauseMs = m_host.pauseMs();
}

void RunSchedule::settled()
{
    if (m_most == 1 && m_pauseMs > 0)
        m_pauseEndMs = nowMs() + m_pauseMs;
}

bool RunSchedule::pausing() const { return m_pauseEndMs > 0 && nowMs() < m_pauseEndMs; }
