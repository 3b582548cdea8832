#pragma once

#include <QtGlobal>

#include <deque>

namespace Module1 {
struct FetchOutcome;
}

// The rate at which a site takes requests, found from its own answers. Until the site refuses
// one (429 or 503 without a Retry-After) nothing is held back beyond the pause. A first refusal
// sets the rate under what the site took (its burst is in that); from there the pace searches
// upward in long steps, which the site's burst absorbs, until a step draws a refusal: what the
// site took lately, its bucket full, is then its rate, and the pace settles just under it and
// steps up only gently (a few percent, at least seconds apart, and twice as long after each
// step the site refused), so a run held at the limit seldom draws a refusal. A refusal before
// any answer holds every new request until the site has taken one. A Retry-After holds every
// request back until it has passed. Stretches the run held itself back tell no rate. Times are
// on the run's clock.
class SitePace
{
public:
    SitePace();

    // The least time between two starts that the site's rate asks for; 0 while it has not
    // refused.
    qint64 spacingMs() const;
    qint64 openAtMs() const; // no request starts before this (a Retry-After)
    bool limited() const;
    // Refused before any rate could be read: no new request until the site has taken one, so
    // that refusals answered at once do not free their places for more of the same.
    bool holding() const { return m_holding; }
    double requestsPerSecond() const; // the rate held to; 0 while not limited
    qint64 refusalsSeen() const { return m_refusalsSeen; } // of every ID, since the start
    int othersRefusedLately(qint64 key) const; // IDs but key refused within the window

    // An answer came at nowMs to a request for key (an ID) started at startedMs. True when
    // the answer is a refusal of the pace's making: the site still took other requests lately.
    // A key refused again while no other was refused is the key's own trouble: it moves the
    // pace no further.
    bool answered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs, int maxWaitMs, qint64 key = -1);
    void started(qint64 nowMs); // a request went out
    // From fromMs to toMs the run held itself back: what it sent then tells nothing of the site.
    void heldBack(qint64 fromMs, qint64 toMs);

    static constexpr double kUnder = 0.97;     // settles this far under a rate that drew a refusal
    static constexpr double kSearchStep = 0.25; // a step up while the site's limit is still sought,
    static constexpr int kGoodToSearch = 5;     // after so many accepted answers
    static constexpr qint64 kSearchEveryMs = 500; // and at least this long after the last change
    static constexpr qint64 kReadMs = 750;      // the answers the limit is read from when a step went over
    static constexpr double kProbe = 0.02;     // once found, the first step up; each further one doubles, to kMostProbe
    static constexpr double kMostProbe = 0.04;
    static constexpr int kGoodToProbe = 10;    // accepted answers in a row before a step up,
    static constexpr qint64 kProbeEveryMs = 2000; // and at least this long after the last change;
    static constexpr qint64 kLongestProbeEveryMs = 8000; // twice as long after each step up refused
    static constexpr qint64 kWindowMs = 2000;  // the recent answers the accepted rate is read from
    static constexpr qint64 kLeastSpanMs = 250; // a shorter stretch of answers tells no rate
    static constexpr int kLeastAnswers = 5;     // nor do fewer answers
    static constexpr double kFirstGuess = 0.7;  // of what the site took before its first refusal, burst and all
    static constexpr double kAfterHold = 0.5;   // of what the site took at once before a hold
    static constexpr double kStillOver = 0.7;   // a step down while the site's rate is unknown
    static constexpr double kLeastRate = 0.5;

private:
    struct Accepted
    {
        qint64 startedMs, answeredMs;
    };
    void accepted(qint64 startedMs, qint64 nowMs);
    bool refused(qint64 startedMs, qint64 nowMs, qint64 key); // as answered()
    qint64 heldWithin(qint64 fromMs, qint64 toMs) const;
    qint64 readFrom(qint64 fromMs) const;
    int acceptedSince(qint64 fromMs) const;
    double acceptedRate(qint64 fromMs, qint64 nowMs) const;
    void setRate(double rate, qint64 nowMs);

    std::deque<Accepted> m_accepted; // recent accepted answers
    struct Span
    {
        qint64 fromMs, toMs;
    };
    std::deque<Span> m_held; // recent stretches the run held itself back
    struct Refusal
    {
        qint64 ms, key;
    };
    std::deque<Refusal> m_refusals; // recent refusals, of which ID
    qint64 m_refusalsSeen = 0;
    qint64 m_firstStartMs = -1;
    int m_started = 0, m_refused = 0;
    qint64 m_probeEveryMs = kProbeEveryMs;
    bool m_probed = false; // the last change was a step up
    qint64 m_firstAnswerMs = -1;
    qint64 m_firstTakenMs = -1; // when the first accepted answer came
    qint64 m_firstRefusalMs = -1;
    qint64 m_firstCountedMs = -1; // the first accepted answer to a request sent since the first refusal
    double m_rate = 0;            // requests a second; 0: not limited
    qint64 m_changedAtMs = -1;    // a refusal of a request started before this drew the last change
    bool m_settled = false; // the site refused at a rate set from its answers: its limit is found
    int m_good = 0;
    double m_probe = kProbe; // the next step up
    qint64 m_openAt = 0;
    bool m_holding = false;
};
