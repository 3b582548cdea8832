#include "site_pace.h"

#include "pageutil.h"

#include <algorithm>
#include <cmath>

SitePace::SitePace() = default;

bool SitePace::limited() const { return m_rate > 0; }
double SitePace::requestsPerSecond() const { return m_rate; }
qint64 SitePace::openAtMs() const { return m_openAt; }

qint64 SitePace::spacingMs() const
{
    return m_rate > 0 ? qint64(std::ceil(1000.0 / m_rate)) : 0;
}

void SitePace::started(qint64 nowMs)
{
    if (m_firstStartMs < 0)
        m_firstStartMs = nowMs;
    ++m_started;
}

// Once the site has refused, only requests sent since tell its rate: those sent before went
// out at a pace it had not yet asked for. They are counted from the first such answer, as the
// time before it is the answer's own time.
qint64 SitePace::readFrom(qint64 fromMs) const
{
    return m_firstRefusalMs < 0 ? fromMs : qMax(fromMs, m_firstCountedMs);
}

int SitePace::acceptedSince(qint64 fromMs) const
{
    int count = 0;
    for (const Accepted &a : m_accepted)
        count += a.answeredMs > fromMs && (m_firstRefusalMs < 0 || a.startedMs >= m_firstRefusalMs);
    return count;
}

qint64 SitePace::heldWithin(qint64 fromMs, qint64 toMs) const
{
    qint64 held = 0;
    for (const Span &span : m_held)
        held += qMax<qint64>(0, qMin(toMs, span.toMs) - qMax(fromMs, span.fromMs));
    return held;
}

// What the site took over a stretch, the time the run held itself back left out.
double SitePace::acceptedRate(qint64 fromMs, qint64 nowMs) const
{
    const qint64 span = nowMs - fromMs - heldWithin(fromMs, nowMs);
    return double(acceptedSince(fromMs)) * 1000.0 / double(qMax<qint64>(span, 1));
}

int SitePace::othersRefusedLately(qint64 key) const
{
    return int(std::count_if(m_refusals.begin(), m_refusals.end(), [key](const Refusal &r) { return r.key != key; }));
}

void SitePace::heldBack(qint64 fromMs, qint64 toMs)
{
    if (toMs <= fromMs)
        return;
    while (!m_held.empty() && m_held.front().toMs < toMs - 2 * kWindowMs)
        m_held.pop_front();
    m_held.push_back({fromMs, toMs});
}

void SitePace::setRate(double rate, qint64 nowMs)
{
    m_rate = qMax(kLeastRate, rate);
    m_changedAtMs = nowMs;
    if (m_firstRefusalMs < 0)
        m_firstRefusalMs = nowMs;
}

bool SitePace::answered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs, int maxWaitMs, qint64 key)
{
    if (m_firstAnswerMs < 0)
        m_firstAnswerMs = startedMs;
    while (!m_accepted.empty() && m_accepted.front().answeredMs < nowMs - kWindowMs)
        m_accepted.pop_front();
    if (outcome.retryAfterMs >= 0) {
        m_openAt = qMax(m_openAt, nowMs + qMin<qint64>(outcome.retryAfterMs, maxWaitMs));
        m_good = 0;
        return false;
    }
    if (outcome.httpStatus == 429 || outcome.httpStatus == 503)
        return refused(startedMs, nowMs, key);
    // Only an answer counts; a dropped connection says nothing of the rate.
    if (outcome.transport == Module1::Transport::Ok)
        accepted(startedMs, nowMs);
    return false;
}

void SitePace::accepted(qint64 startedMs, qint64 nowMs)
{
    m_accepted.push_back({startedMs, nowMs});
    if (m_firstTakenMs < 0)
        m_firstTakenMs = nowMs;
    if (m_holding && m_rate <= 0 && m_started - m_refused >= kLeastAnswers) {
        // The first answer after a hold: the site took at once what it did not refuse, its
        // burst. Refilling every place at once would meet a bucket with room for few. (A
        // single busy answer tells no rate.)
        const double took = double(m_started - m_refused) * 1000.0 / double(qMax<qint64>(nowMs - m_firstStartMs, 1));
        setRate(took * kAfterHold, nowMs);
    }
    m_holding = false;
    if (m_firstRefusalMs >= 0 && m_firstCountedMs < 0 && startedMs >= m_firstRefusalMs)
        m_firstCountedMs = nowMs;
    // Until the site refuses at a rate set from its answers, the pace searches upward in long
    // steps: the site's burst absorbs the overshoot. Once it has, it steps up gently.
    if (m_rate > 0 && !m_settled && ++m_good >= kGoodToSearch && nowMs - m_changedAtMs >= kSearchEveryMs) {
        m_good = 0;
        setRate(m_rate * (1 + kSearchStep), nowMs);
        return;
    }
    if (m_rate > 0 && m_settled && ++m_good >= kGoodToProbe && nowMs - m_changedAtMs >= m_probeEveryMs) {
        // A step up that held: the next comes sooner again.
        if (m_probed)
            m_probeEveryMs = qMax(kProbeEveryMs, m_probeEveryMs / 2);
        m_good = 0;
        setRate(m_rate * (1 + m_probe), nowMs);
        m_probe = qMin(m_probe * 2, kMostProbe);
        m_probed = true;
    }
}

bool SitePace::refused(qint64 startedMs, qint64 nowMs, qint64 key)
{
    // An ID refused again with no other refused lately is refused for itself, not for the
    // pace: that moves the pace no further, and the ID's tries count.
    ++m_refusalsSeen;
    while (!m_refusals.empty() && m_refusals.front().ms < nowMs - kWindowMs)
        m_refusals.pop_front();
    const bool again = key >= 0 && othersRefusedLately(key) < int(m_refusals.size());
    const bool othersRefused = othersRefusedLately(key) > 0;
    m_refusals.push_back({nowMs, key});
    if (again && !othersRefused && !m_accepted.empty())
        return false;
    ++m_refused;
    m_good = 0;
    m_probe = kProbe;
    // The pace caused it when the site takes others: it took some in the last moments.
    const bool othersTaken = !m_accepted.empty();
    // A request sent before the last change was sent at the old rate: it says nothing new.
    if (startedMs < m_changedAtMs)
        return othersTaken;
    // A step up the site refused: the next waits longer, so a run settled under the limit
    // seldom draws a refusal.
    if (m_probed)
        m_probeEveryMs = qMin(kLongestProbeEveryMs, m_probeEveryMs * 2);
    m_probed = false;
    // Once the site has refused, its bucket is full: what it took since is its rate. Before
    // that, what it took includes its burst. A refusal at the rate set since means the run is
    // still well over: it comes down faster until there are answers enough to read the rate.
    const qint64 from = readFrom(qMax(nowMs - kWindowMs, m_firstRefusalMs >= 0 ? m_firstRefusalMs : m_firstAnswerMs));
    const int taken = acceptedSince(from);
    double rate = m_rate;
    if (m_rate <= 0) {
        if (taken < kLeastAnswers) {
            m_holding = true;
            return false; // too few answers to read a rate from: tried again as any busy answer
        }
        // The burst is in it: well under, till it is read; further under when the refused
        // request went out within the first two answer times, the site's burst then being
        // nearly all there is.
        const bool early = m_firstStartMs >= 0 && startedMs < 2 * m_firstTakenMs - m_firstStartMs;
        rate = acceptedRate(from, nowMs) * (early ? kAfterHold : kFirstGuess);
    } else if (nowMs - from >= kLeastSpanMs && taken >= kLeastAnswers) {
        // While the limit was sought, a step went over it: what the site took lately, its
        // bucket full, is its rate; the search is over.
        const qint64 lately = qMax(from, nowMs - kReadMs);
        const bool read = !m_settled && nowMs - lately >= kLeastSpanMs && acceptedSince(lately) >= kLeastAnswers;
        rate = qMin(rate, acceptedRate(read ? lately : from, nowMs)) * kUnder;
        m_settled = true;
    } else {
        rate *= kStillOver;
    }
    setRate(rate, nowMs);
    return othersTaken;
}
