#include "site_pace.h"

#include "pageutil.h"

#include <cmath>

SitePace::SitePace() = default;

bool SitePace::limited() const { return m_rate > 0; }
double SitePace::requestsPerSecond() const { return m_rate; }
qint64 SitePace::openAtMs() const { return m_openAt; }

qint64 SitePace::spacingMs() const
{
    return m_rate > 0 ? qint64(std::ceil(1000.0 / m_rate)) : 0;
}

int SitePace::acceptedSince(qint64 fromMs) const
{
    int count = 0;
    for (qint64 at : m_accepted)
        count += at > fromMs;
    return count;
}

double SitePace::acceptedRate(qint64 fromMs, qint64 nowMs) const
{
    return double(acceptedSince(fromMs)) * 1000.0 / double(qMax<qint64>(nowMs - fromMs, 1));
}

bool SitePace::answered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs, int maxWaitMs)
{
    if (m_firstAnswerMs < 0)
        m_firstAnswerMs = startedMs;
    while (!m_accepted.empty() && m_accepted.front() < nowMs - kWindowMs)
        m_accepted.pop_front();
    if (outcome.retryAfterMs >= 0) {
        m_openAt = qMax(m_openAt, nowMs + qMin<qint64>(outcome.retryAfterMs, maxWaitMs));
        m_good = 0;
        return false;
    }
    const bool refused = outcome.httpStatus == 429 || outcome.httpStatus == 503;
    if (!refused) {
        // Only an answer counts; a dropped connection says nothing of the rate.
        if (outcome.transport != Module1::Transport::Ok)
            return false;
        m_accepted.push_back(nowMs);
        m_holding = false;
        // Once a stretch since the first refusal can be read, that is the site's rate: the first
        // guesses, with the site's burst in them, were rough.
        if (m_rate > 0 && !m_calibrated && nowMs - m_firstRefusalMs >= kLeastSpanMs
            && acceptedSince(m_firstRefusalMs) >= kLeastAnswers) {
            m_calibrated = true;
            m_rate = qMax(kLeastRate, qMin(m_rate, acceptedRate(m_firstRefusalMs, nowMs)));
        }
        if (m_rate > 0 && ++m_good >= kGoodToProbe && nowMs - m_changedAtMs >= kProbeEveryMs) {
            m_good = 0;
            m_rate *= 1 + m_probe;
            m_probe = qMin(m_probe * 2, kMostProbe);
            m_changedAtMs = nowMs;
        }
        return false;
    }
    m_good = 0;
    m_probe = kProbe;
    // The pace caused it when the site takes others: it took some in the last moments.
    const bool othersTaken = !m_accepted.empty();
    // A request sent before the last change was sent at the old rate: it says nothing new.
    if (startedMs < m_changedAtMs)
        return othersTaken;
    // Once the site has refused, its bucket is full: what it took since is its rate. Before
    // that, what it took includes its burst. A refusal at the rate set since means the run is
    // still well over: it comes down faster until there are answers enough to read the rate.
    const qint64 from = qMax(nowMs - kWindowMs, m_firstRefusalMs >= 0 ? m_firstRefusalMs : m_firstAnswerMs);
    const int taken = acceptedSince(from);
    double rate = m_rate;
    if (m_rate <= 0) {
        if (taken < kLeastAnswers) {
            m_holding = true;
            return false; // too few answers to read a rate from: tried again as any busy answer
        }
        rate = acceptedRate(from, nowMs) * kFirstGuess; // the burst is in it: well under, till it is read
    } else if (nowMs - from >= kLeastSpanMs && taken >= kLeastAnswers) {
        rate = qMin(rate, acceptedRate(from, nowMs)) * kUnder;
    } else {
        rate *= kStillOver;
    }
    m_rate = qMax(kLeastRate, rate);
    m_changedAtMs = nowMs;
    if (m_firstRefusalMs < 0)
        m_firstRefusalMs = nowMs;
    return othersTaken;
}
