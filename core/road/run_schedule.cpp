#include "run_schedule.h"

#include "pageutil.h"

#include <cmath>

namespace {
// How far beyond the oldest unfinished ID requests may run ahead, per request in flight:
// pages waiting for an earlier one are held, so this bounds what is held. One at a time, a
// new ID waits for the one before it.
qint64 window(int most) { return most > 1 ? 4 * qint64(most) : 1; }
// Beyond one, the first requests of a run go out this far apart until the first answer: a
// site that limits its rate refuses at once what comes beyond its burst, and a burst of the
// whole number in flight would draw a refusal for each of them.
constexpr qint64 kOpeningSpacingMs = 2;
// Opening gently, each answer the site accepts lets so many more go: twice as many each round
// trip. (Three times as many cost a strict site more refusals for a tenth of a second gained.)
constexpr int kOpeningGrowth = 1;
} // namespace

RunSchedule::RunSchedule(RoadHost host, int most, qint64 lastPosition, int maxRetryAfterMs, const KeptPace &kept)
    : m_host(std::move(host)), m_most(most), m_kept(kept), m_width(most), m_last(lastPosition),
      m_maxRetryAfterMs(maxRetryAfterMs), m_requests(0, lastPosition, window(most))
{
    m_pace.expect(lastPosition + 1);
    if (most > 1 && kept.limited()) {
        m_pace.startFrom(kept);
    } else if (most > 1) {
        m_width = kept.neverRefused() ? qMin(most, kept.inFlight) : 1;
        m_opening = m_width < most;
        if (m_opening)
            m_pace.opening();
    }
    m_clock.start();
}

qint64 RunSchedule::nowMs() const
{
    return m_host.clockMs ? m_host.clockMs() : (m_clock.nsecsElapsed() + 999999) / 1000000;
}

void RunSchedule::restartAt(qint64 from)
{
    m_requests = RequestSchedule(from, m_last, window(m_most));
    m_free.clear();
    m_pauseEndMs = 0;
    m_windowFullMs = -1;
}

RunSchedule::Answered RunSchedule::answered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 key)
{
    const double before = m_pace.requestsPerSecond();
    // Beyond one, a millisecond on top: the site's Retry-After counts from its answer, sent a
    // moment earlier.
    const qint64 now = nowMs();
    Answered refused;
    refused.paceRefused = m_pace.answered(outcome, startedMs, now + (m_most > 1 ? 1 : 0), m_maxRetryAfterMs, key);
    refused.freeRefusals = key < 0 ? m_side.refusals() : m_free.of(key, outcome, refused.paceRefused, m_pace);
    m_answered = true;
    grow(outcome, startedMs, now);
    if (outcome.httpStatus == 429 || outcome.httpStatus == 503 || outcome.retryAfterMs >= 0)
        m_idealMs = qMax(m_idealMs, double(now)); // the site's allowance is spent: nothing to catch up on
    if (m_pace.requestsPerSecond() == before)
        return refused;
    // A slower pace holds from the last start on, not from the next.
    if (m_most > 1 && m_pace.limited()) {
        m_idealMs = qMax(m_idealMs, double(m_lastStartMs) + m_pace.gapMs());
        m_requests.holdUntil(qint64(std::ceil(m_idealMs)));
    }
    if (m_host.paceChanged)
        m_host.paceChanged(m_pace.requestsPerSecond());
    return refused;
}

// While the run opens, every answer the site accepts lets more requests go; the site's first
// refusal that sets a pace ends the opening, and the pace holds the run from there.
void RunSchedule::grow(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs)
{
    if (!m_opening || outcome.retryAfterMs >= 0)
        return;
    if (outcome.httpStatus == 429 || outcome.httpStatus == 503) {
        if (m_pace.limited())
            m_opening = false;
    } else if (outcome.transport == Module1::Transport::Ok) {
        m_roundTripMs = double(nowMs - startedMs);
        m_width += kOpeningGrowth;
        m_opening = m_width < m_most;
    }
    if (!m_opening)
        m_width = m_most;
}

KeptPace RunSchedule::kept() const
{
    if (m_most == 1)
        return {};
    return m_pace.kept(m_kept.neverRefused() ? qMax(m_width, m_kept.inFlight) : m_width);
}

qint64 RunSchedule::besideDueMs(int inFlight) const
{
    if (inFlight >= m_width || (m_pace.holding() && inFlight > 0))
        return -1;
    const qint64 open = qMax(m_pace.openAtMs(), m_side.notBeforeMs());
    if (m_most > 1)
        return qMax(m_requests.notBeforeMs(), open);
    return qMax(qMax(open, m_lastStartMs + m_pace.spacingMs()), m_pauseEndMs);
}

qint64 RunSchedule::dueMs(qint64 oldest, int inFlight, bool idsWait) const
{
    if (m_side.wanted())
        return besideDueMs(inFlight);
    const qint64 due = idsWait ? -1 : m_requests.dueMs(oldest);
    if (inFlight >= m_width || due < 0 || (m_pace.holding() && inFlight > 0))
        return -1;
    if (m_most > 1)
        return qMax(due, m_pace.openAtMs());
    // The pace's spacing as it stands now: the answer just in may have changed it.
    return qMax(qMax(due, m_pace.openAtMs()), qMax(m_lastStartMs + m_pace.spacingMs(), m_pauseEndMs));
}

std::optional<RequestSchedule::Next> RunSchedule::take(qint64 oldest, int inFlight, bool idsWait)
{
    const qint64 now = nowMs();
    const qint64 due = dueMs(oldest, inFlight, idsWait);
    if (due < 0 || due > now) {
        // Room for more, and the IDs wait for an earlier one to be finished: the run itself
        // holds back, not the site.
        if (!idsWait && !m_side.wanted() && inFlight < m_width && m_requests.waitsFor(oldest) && m_windowFullMs < 0)
            m_windowFullMs = now;
        return std::nullopt;
    }
    if (m_side.wanted()) {
        m_side.wentOut();
        return RequestSchedule::Next{-1, 0, true};
    }
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
    if (m_windowFullMs >= 0) {
        m_pace.heldBack(m_windowFullMs, m_lastStartMs);
        m_windowFullMs = -1;
    }
    if (m_most == 1) {
        m_requests.started(m_lastStartMs, 0);
        return m_lastStartMs;
    }
    // The chain of due times is kept while requests go out on time, so that a rate whose gap
    // is no whole number of ms is kept on average. Held to the site's pace, a request that is
    // late (the run held back) lets the next ones catch up a little: the site's allowance grew
    // meanwhile, by as much as a part of its burst.
    const double gap = gapMs(pause);
    const bool paced = m_pace.settled() && m_pace.gapMs() >= gap;
    double from = double(m_lastStartMs);
    if (m_idealMs >= 0 && m_lastStartMs < m_idealMs + 1)
        from = m_idealMs;
    else if (m_idealMs >= 0 && paced)
        from = qMax(m_idealMs, from - m_pace.burstRoom() * gap);
    // Nothing to keep without a gap: the next may go at once.
    m_idealMs = gap > 0 ? from + gap : double(m_lastStartMs);
    m_requests.started(m_lastStartMs, qint64(std::ceil(m_idealMs)) - m_lastStartMs);
    return m_lastStartMs;
}

double RunSchedule::gapMs(qint32 pause) const
{
    // Opening gently, the requests of a round trip are spread over half of it.
    const double opening = !m_answered ? double(kOpeningSpacingMs) : m_opening ? m_roundTripMs / (2 * m_width) : 0;
    return qMax(qMax(pause > 0 ? double(pause) + 1 : 0.0, m_pace.gapMs()), opening);
}

void RunSchedule::holdBegins()
{
    if (m_heldSinceMs < 0)
        m_heldSinceMs = nowMs();
}

void RunSchedule::holdEnds()
{
    if (m_heldSinceMs >= 0)
        m_pace.heldBack(m_heldSinceMs, nowMs());
    m_heldSinceMs = -1;
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
    const bool absent = before->httpStatus == 404 || before->httpStatus == 410;
    const bool settles = before->retryAfterMs < 0 && (before->httpStatus < 400 || absent);
    return settles && !m_pace.holding() && mayGoAhead();
}

void RunSchedule::answerIsFinal()
{
    if (m_most == 1)
        m_pauseMs = m_host.pauseMs();
}

void RunSchedule::settled(bool idFinished)
{
    if (m_most == 1 && m_pauseMs > 0)
        m_pauseEndMs = nowMs() + m_pauseMs;
    m_settledSinceCheck = m_settledSinceCheck || idFinished;
}

void RunSchedule::besideAnswered()
{
    if (m_most > 1)
        return;
    const qint32 pause = m_host.pauseMs();
    if (pause > 0)
        m_pauseEndMs = nowMs() + pause;
}

bool RunSchedule::pausing() const { return m_pauseEndMs > 0 && nowMs() < m_pauseEndMs; }
