#pragma once

#include "kept_pace.h"

#include <QtGlobal>

#include <cmath>
#include <deque>

namespace Module1 {
struct FetchOutcome;
}

// The rate at which a site takes requests, found from its own answers. Until the site refuses
// one (429 or 503 without a Retry-After) nothing is held back beyond the pause. A refusal
// means the site's allowance was spent at that moment, so every request it took after one,
// counted by when it went out, proves a rate at least that high; the pace holds just under
// the highest rate so proven. A first refusal sets a guess under what the site took (its
// burst is in that), and from there the pace searches upward in long steps until a step draws
// a refusal, which settles it; after a quiet stretch it steps up gently once more, while one
// more refusal keeps the run's refusals under one in a hundred of its requests. A refusal before any
// answer holds every new request until the site has taken one. A Retry-After holds every
// request back until it has passed. Times are on the run's clock.
class SitePace
{
public:
    // The least time between two starts that the site's rate asks for; 0 while it has not
    // refused.
    double gapMs() const { return m_rate > 0 ? 1000.0 / m_rate : 0; }
    qint64 spacingMs() const { return qint64(std::ceil(gapMs())); } // gapMs(), rounded up
    qint64 openAtMs() const { return m_openAt; } // no request starts before this (a Retry-After)
    bool limited() const { return m_rate > 0; }
    bool settled() const { return m_settled; } // held under a rate the site proved
    // Refused before any rate could be read: no new request until the site has taken one, so
    // that refusals answered at once do not free their places for more of the same.
    bool holding() const { return m_holding; }
    double requestsPerSecond() const { return m_rate; } // the rate held to; 0 while not limited
    // Requests that may go at once after the run held itself back: a part of the site's burst.
    double burstRoom() const { return m_burst > 2 ? double(m_burst - 1) * kBurstShare : 0; }
    double provenPerSecond() const { return m_proven; } // the rate the site's answers prove
    qint64 refusalsSeen() const { return m_refusalsSeen; } // of every ID, since the start
    int othersRefusedLately(qint64 key) const; // IDs but key refused within the window

    // An answer came at nowMs to a request for key (an ID) started at startedMs. True when
    // the answer is a refusal of the pace's making: the site still took other requests lately.
    // A key refused again while no other was refused is the key's own trouble: it moves the
    // pace no further.
    bool answered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs, int maxWaitMs, qint64 key = -1);
    void started(qint64 nowMs); // a request went out
    void expect(qint64 requests) { m_expected = requests; } // the run's IDs, at least
    // The run opens gently, one request growing to many: a refusal before any rate is known
    // sets one from what the site took of the requests started before it.
    void opening() { m_opening = true; }
    // The run starts at the pace an earlier harvest kept: the site's limit is known, and a
    // refusal under it means the site takes fewer now.
    void startFrom(const KeptPace &kept);
    // What the pace found, for the next harvest; inFlight: the most the run had out.
    KeptPace kept(int inFlight) const;
    // From fromMs to toMs the run held itself back: what it sent then tells nothing of the site.
    void heldBack(qint64 fromMs, qint64 toMs);

    static constexpr double kUnder = 0.99;      // held this far under the rate proven
    static constexpr double kSearchStep = 0.25; // a step up while the site's limit is still sought,
    static constexpr double kSearchGrowth = 2.0;  // each step taken makes the next this much longer,
    static constexpr double kLongestSearchStep = 1.0; // up to this
    static constexpr int kGoodToSearch = 5;     // after so many accepted answers
    static constexpr qint64 kSearchEveryMs = 400; // and at least this long after the last change
    static constexpr double kProbe = 0.02;      // once found, a gentle step up (each taken doubles
    static constexpr double kMostProbe = 0.08;  // the next, up to this),
    static constexpr qint64 kQuietToProbeMs = 2000; // after this long without a refusal (twice as
    static constexpr qint64 kLongestQuietMs = 48000; // long after each, up to this),
    static constexpr qint64 kProbeEveryMs = 2000; // and again this often until one is refused,
    static constexpr int kGoodToProbe = 10;       // each after so many accepted answers
    static constexpr int kRefusedAtMost = 100; // requests, for each refusal a step up may draw
    static constexpr qint64 kReadMs = 750;      // what the site took lately, where the run held back,
    static constexpr double kLatelyUnder = 0.97; // and this far under it
    static constexpr qint64 kMarkSpanMs = 60000; // how far back the refusals that proofs count from go
    static constexpr int kMostMarks = 16;
    static constexpr double kBurstShare = 0.5;  // of the burst shown, the catch-up after a hold
    static constexpr qsizetype kLongestStretch = 256; // accepted answers a stretch is counted over
    static constexpr int kMostTaken = 8192;  // accepted answers kept to count from the marks
    static constexpr qint64 kJitterMs = 2;      // a start's time on the run's clock against the site's
    static constexpr qint64 kWindowMs = 2000;   // the recent answers the accepted rate is read from
    static constexpr qint64 kLeastSpanMs = 250; // a shorter stretch of answers tells no rate
    static constexpr int kLeastAnswers = 5;     // nor do fewer answers
    static constexpr double kFirstGuess = 0.5;  // of what the site took before its first refusal, burst and all
    static constexpr double kOpeningGuess = 0.75; // ...and of what it took while the run opened gently
    static constexpr double kAfterHold = 0.5;   // of what the site took at once before a hold
    static constexpr double kStillOver = 0.5;   // a step down while the site's rate is unknown
    static constexpr double kOverOpening = 0.9; // ...or at most this when the opening's guess was refused
    static constexpr double kLeastRate = 0.5;

private:
    struct Accepted
    {
        qint64 startedMs, answeredMs;
    };
    void accepted(qint64 startedMs, qint64 nowMs);
    bool refused(qint64 startedMs, qint64 nowMs, qint64 key); // as answered()
    bool firstRefusal(qint64 startedMs, qint64 nowMs); // false: no rate could be read
    void settleAfter(qint64 nowMs);
    void mark(qint64 startedMs);
    void prove(qint64 startedMs);
    void stepUp(qint64 nowMs);
    qint64 heldWithin(qint64 fromMs, qint64 toMs) const;
    int acceptedSince(qint64 fromMs) const;
    double acceptedRate(qint64 fromMs, qint64 nowMs) const;
    void setRate(double rate, qint64 nowMs);
    double betweenLastTwo() const;
    double heldRate(qint64 nowMs) const;
    void raiseTo(double rate);

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
    std::deque<qint64> m_starts;    // when the recent requests went out
    std::deque<qint64> m_marks;     // when refused requests went out, the site's allowance spent
    std::deque<qint64> m_taken;     // when accepted requests went out since the first mark, in order
    qint64 m_burst = -1;             // more than the site's burst: what it took before its first refusal
    double m_proven = 0;            // requests a second the site's answers prove it takes
    qint64 m_refusalsSeen = 0;
    qint64 m_firstStartMs = -1;
    int m_started = 0, m_refused = 0;
    qint64 m_expected = 0;
    qint64 m_quietMs = kQuietToProbeMs;
    qint64 m_firstAnswerMs = -1;
    qint64 m_firstTakenMs = -1; // when the first accepted answer came
    double m_rate = 0;          // requests a second; 0: not limited
    qint64 m_loweredAtMs = -1;  // a refusal of a request started before this drew the last step down
    qint64 m_steppedAtMs = -1;  // the last step up, or the last refusal
    bool m_settled = false;     // a step up was refused: the limit is found
    bool m_raised = false;      // stepped up since the last refusal
    int m_good = 0;
    double m_searchStep = kSearchStep;
    double m_probe = kProbe;
    qint64 m_openAt = 0;
    bool m_holding = false;
    bool m_opening = false; // no refusal yet, and the run grows from one request
    double m_openedAt = 0;  // the rate the opening's refusal set
};
