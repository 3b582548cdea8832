#include "site_pace.h"

#include "pageutil.h"

#include <algorithm>
#include <cmath>

void SitePace::started(qint64 nowMs)
{
    if (m_firstStartMs < 0)
        m_firstStartMs = nowMs;
    ++m_started;
    while (!m_starts.empty() && m_starts.front() < nowMs - 2 * kWindowMs)
        m_starts.pop_front();
    m_starts.push_back(nowMs);
}

// Refused twice, the site's allowance spent both times: between the two it took at most what
// went out between them, so its rate is at most that and one over the time between. The
// middle of what that leaves is the next guess.
double SitePace::betweenLastTwo() const
{
    if (m_marks.size() < 2)
        return 0;
    const qint64 from = m_marks[m_marks.size() - 2], to = m_marks.back();
    if (to <= from || m_starts.empty() || m_starts.front() > from)
        return 0;
    // Starts within the same ms as either refusal may have reached the site on either side.
    const auto sent = std::upper_bound(m_starts.begin(), m_starts.end(), to) - std::lower_bound(m_starts.begin(), m_starts.end(), from) - 2;
    return (double(sent) + 0.5) * 1000.0 / double(to - from + kJitterMs);
}

int SitePace::acceptedSince(qint64 fromMs) const
{
    return int(std::count_if(m_accepted.begin(), m_accepted.end(), [fromMs](const Accepted &a) { return a.answeredMs > fromMs; }));
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
    m_loweredAtMs = nowMs;
    m_steppedAtMs = nowMs;
}

// A higher rate the site proved: nothing sent before it is judged anew.
void SitePace::raiseTo(double rate) { m_rate = qMax(m_rate, rate); }

// A refused request: when it reached the site, the site's allowance was spent. The oldest
// mark is kept for the longest count, the newest for a site that changed its mind.
void SitePace::mark(qint64 startedMs)
{
    while (!m_marks.empty() && m_marks.front() < startedMs - kMarkSpanMs)
        m_marks.pop_front();
    if (m_marks.size() >= size_t(kMostMarks))
        m_marks.erase(m_marks.begin() + 1);
    m_marks.insert(std::upper_bound(m_marks.begin(), m_marks.end(), startedMs), startedMs);
    while (!m_taken.empty() && m_taken.front() <= m_marks.front())
        m_taken.pop_front();
}

// Every request the site took after a mark came out of what it let go of since: n taken
// between the mark and this one, at the site's rate r, need n < r times the time between.
void SitePace::prove(qint64 startedMs)
{
    if (m_marks.empty() || startedMs <= m_marks.front())
        return;
    m_taken.insert(std::upper_bound(m_taken.begin(), m_taken.end(), startedMs), startedMs);
    // A long run keeps only the latest: counts from older marks then fall short, which
    // proves less, never more.
    if (m_taken.size() > size_t(kMostTaken))
        m_taken.pop_front();
    const auto before = std::lower_bound(m_taken.begin(), m_taken.end(), startedMs);
    // Nor can the site take more in any stretch than its burst and its rate over the stretch;
    // its burst is less than what it took before its first refusal.
    const auto end = before - m_taken.begin();
    for (auto from = qMax<qsizetype>(0, end - kLongestStretch); m_burst >= 0 && from + m_burst + kLeastAnswers <= end; ++from) {
        const qint64 span = startedMs - m_taken[from];
        if (span >= kLeastSpanMs)
            m_proven = qMax(m_proven, double(end - from + 1 - m_burst) * 1000.0 / double(span + kJitterMs));
    }
    for (const qint64 mark : m_marks) {
        if (startedMs - mark < kLeastSpanMs)
            break;
        const auto n = before - std::upper_bound(m_taken.begin(), before, mark);
        if (n >= kLeastAnswers)
            m_proven = qMax(m_proven, double(n) * 1000.0 / double(startedMs - mark + kJitterMs));
    }
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
    prove(startedMs);
    if (m_rate > 0)
        raiseTo(m_proven * kUnder);
    ++m_good;
    stepUp(nowMs);
}

// Until a step up is refused, long steps: the site's burst absorbs the overshoot. Then, after
// a long quiet stretch, gentle ones.
void SitePace::stepUp(qint64 nowMs)
{
    if (m_rate <= 0)
        return;
    // A search step never goes past three times what the site took lately: a run that sends less
    // than the pace allows (a slow site, few in flight) tells nothing of the limit.
    const bool searching = !m_settled && m_good >= kGoodToSearch && nowMs - m_steppedAtMs >= kSearchEveryMs
        && m_rate * (1 + m_searchStep) <= 3 * acceptedRate(qMax(nowMs - kWindowMs, m_firstTakenMs - 1), nowMs);
    const qint64 quiet = m_raised ? kProbeEveryMs : m_quietMs;
    // A gentle step is tried only while one more refusal keeps them under one in
    // kRefusedAtMost of the requests the run makes.
    const bool spare = (m_refused + 1) * kRefusedAtMost <= qMax<qint64>(m_started, m_expected);
    const bool probing = m_settled && spare && m_good >= kGoodToProbe && nowMs - m_steppedAtMs >= quiet;
    if (!searching && !probing)
        return;
    m_good = 0;
    m_rate *= 1 + (searching ? m_searchStep : m_probe);
    // A gentle step the site took makes the next one longer, up to kMostProbe.
    if (probing)
        m_probe = qMin(m_probe * 2, kMostProbe);
    // Each step the site took makes the next one longer: a low first guess is left soon.
    if (searching)
        m_searchStep = qMin(m_searchStep * kSearchGrowth, kLongestSearchStep);
    m_steppedAtMs = nowMs;
    m_raised = true;
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
    mark(startedMs);
    if (m_burst < 0)
        m_burst = m_started - m_refused;
    if (m_rate <= 0) {
        return firstRefusal(startedMs, nowMs) && othersTaken;
    }
    // A request sent before the last step down was sent at the old rate: it says nothing new.
    if (startedMs < m_loweredAtMs)
        return othersTaken;
    settleAfter(nowMs);
    return othersTaken;
}

// A first refusal: the rate is read from what the site took before it.
bool SitePace::firstRefusal(qint64 startedMs, qint64 nowMs)
{
    if (m_opening) {
        // The run grew from one request: what the site took of the requests started before
        // this one (those not refused by now: a site refuses at once), over the time since the
        // first, its burst in it. Too few taken to read a rate from: nothing new goes until the
        // site takes one.
        const qint64 took = std::lower_bound(m_starts.begin(), m_starts.end(), startedMs) - m_starts.begin() - (m_refused - 1);
        m_holding = took < 2 || startedMs <= m_firstStartMs;
        if (m_holding)
            return false;
        m_opening = false;
        setRate(double(took) * 1000.0 / double(startedMs - m_firstStartMs) * kOpeningGuess, nowMs);
        m_openedAt = m_rate;
        return true;
    }
    const qint64 from = qMax(nowMs - kWindowMs, m_firstAnswerMs);
    if (acceptedSince(from) < kLeastAnswers) {
        m_holding = true;
        return false; // too few answers to read a rate from: tried again as any busy answer
    }
    // The burst is in it: well under, further under when the refused request went out within
    // the first two answer times, the site's burst then being nearly all there is.
    const bool early = m_firstStartMs >= 0 && startedMs < 2 * m_firstTakenMs - m_firstStartMs;
    setRate(acceptedRate(from, nowMs) * (early ? kAfterHold : kFirstGuess), nowMs);
    return true;
}

void SitePace::startFrom(const KeptPace &kept)
{
    if (!kept.limited())
        return;
    m_rate = qMax(kLeastRate, kept.rate);
    m_proven = kept.proven;
    m_burst = kept.burst;
    m_settled = m_proven > 0;
}

KeptPace SitePace::kept(int inFlight) const
{
    if (limited())
        return {m_rate, m_proven, m_burst, inFlight};
    return m_refusalsSeen == 0 ? KeptPace{0, 0, -1, inFlight} : KeptPace();
}

// Where the run held itself back since the last refusal, the site's allowance was not spent
// meanwhile and what it took proves little: what it took lately, the time held back left out,
// is read instead, a little under.
double SitePace::heldRate(qint64 nowMs) const
{
    const qint64 from = m_marks.size() < 2 ? m_firstAnswerMs : m_marks[m_marks.size() - 2];
    if (from < 0 || heldWithin(from, nowMs) <= 0)
        return 0;
    const qint64 lately = qMax(from, nowMs - kReadMs);
    return acceptedSince(lately) >= kLeastAnswers ? acceptedRate(lately, nowMs) * kLatelyUnder : 0;
}

// A refusal at the rate held: after a step up, the limit is found, just under what the site
// proved; without one, the site takes fewer than it did and what it proved no longer holds.
void SitePace::settleAfter(qint64 nowMs)
{
    if (m_raised && m_proven > 0) {
        if (m_settled && m_quietMs < kLongestQuietMs)
            m_quietMs *= 2;
        m_settled = true;
        m_raised = false;
        setRate(qMin(m_rate, qMax(m_proven, heldRate(nowMs)) * kUnder), nowMs);
        return;
    }
    if (m_proven > 0 && m_rate <= m_proven * kUnder * 1.001) {
        m_marks.erase(m_marks.begin(), m_marks.end() - 1);
        m_taken.clear();
        m_proven = 0;
        m_settled = false;
    }
    m_raised = false;
    const double between = betweenLastTwo();
    // Refused again at the rate the opening read, before anything was proven: the rate the
    // site took between the two refusals is the better guess.
    if (m_openedAt > 0 && m_rate == m_openedAt && between > 0 && m_proven <= 0)
        return setRate(qMin(m_rate * kOverOpening, between), nowMs);
    setRate(qMin(m_rate * kStillOver, between > 0 ? qMax(between, m_proven) : m_rate), nowMs);
}
