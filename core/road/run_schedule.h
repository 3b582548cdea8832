#pragma once

#include "free_refusals.h"
#include "request_schedule.h"
#include "side_request.h"
#include "site_pace.h"

#include <QElapsedTimer>

#include <functional>
#include <optional>

namespace Module1 {
struct FetchOutcome;
}

// What the schedule asks of whoever runs it: the pause (read afresh each time), whether the
// run goes on, and where a new pace of the site is told.
struct RoadHost
{
    std::function<qint32()> pauseMs;
    std::function<bool()> running;
    std::function<void(double requestsPerSecond)> paceChanged;
    std::function<qint64()> clockMs; // the run's clock; a clock of its own when not given
};

// The one road every request of a run takes: the IDs in order with the retries due before
// them, and requests beside the IDs (a look into strange pages, a probe of a quiet site),
// all under the same pause, the site's pace and the cap on requests in flight. One at a
// time, the pause follows each answer read and the next request may go out while the last
// answer is read; beyond one, the pause is the least time between two starts. Times are on
// the run's clock, in ms.
class RunSchedule
{
public:
    // Beyond one in flight, a site whose pace an earlier harvest kept (kept) is harvested at that
    // pace from the first request; one the run does not know is opened gently: one request out,
    // one more for each answer the site accepts (twice as many each round trip, spread over half
    // of it), up to most, until the site refuses one and its pace holds the run.
    RunSchedule(RoadHost host, int most, qint64 lastPosition, int maxRetryAfterMs, const KeptPace &kept = {});

    int most() const { return m_most; }
    // What the run found of the site's pace, for the next harvest; one at a time keeps nothing.
    KeptPace kept() const;
    qint64 nowMs() const; // rounded up: a wait measured from it is never short
    const SitePace &pace() const { return m_pace; }
    // The IDs start afresh from position from on (after a quiet site answered again); the
    // site's pace is kept.
    void restartAt(qint64 from);

    // What an answer to a request started at startedMs, for ID key (-1: the request beside
    // the IDs), means for the road: whether it was a refusal the pace caused (the site takes
    // others, and refuses others too), and how many such the request has had free before
    // (kFreeRefusals when this one is not to be free).
    struct Answered
    {
        bool paceRefused = false;
        int freeRefusals = 0;
    };
    Answered answered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 key);
    void retryAt(qint64 position, int attempt, qint64 atMs) { m_requests.retryAt(position, attempt, atMs); }
    // The request beside the IDs: once asked, it goes before any ID, on the same terms.
    SideRequest &side() { return m_side; }

    // When the next request may start, with inFlight out; -1 while only an answer can tell.
    // idsWait: only the request beside the IDs may go (the IDs wait for what it is for).
    qint64 dueMs(qint64 oldest, int inFlight, bool idsWait = false) const;
    // The next request, when it may start now. takeAhead: one at a time, the ID after
    // oldest, whose answer is in and is about to be settled.
    std::optional<RequestSchedule::Next> take(qint64 oldest, int inFlight, bool idsWait = false);
    std::optional<RequestSchedule::Next> takeAhead(qint64 oldest);
    // The request taken goes out now; returns when, on the run's clock.
    qint64 started();

    // The run holds itself back (a look, a wait for the site): the site's rate is not read
    // from that stretch.
    void holdBegins();
    void holdEnds();

    // One at a time, whether the next ID may go out before the answer in is read: only after
    // an answer that is surely a page or no profile (before) or one read (after), with no pause.
    bool goesAhead(const Module1::FetchOutcome *before);
    // One at a time: a final answer came, and its pause is read; settled(): the pause begins,
    // and, once an ID is finished (idFinished), the stop is looked at before the next starts.
    void answerIsFinal();
    void settled(bool idFinished);
    // One at a time, the answer to the request out is waited for whatever the user does,
    // until its ID is settled; stopLooked(): the stop was looked at, new requests may start.
    bool awaitsAnswer(int inFlight) const { return m_most == 1 && inFlight > 0 && !m_settledSinceCheck; }
    void stopLooked() { m_settledSinceCheck = false; }
    // One at a time: the answer to a request beside the IDs came; the pause begins.
    void besideAnswered();
    bool pausing() const; // the pause after an answer has not run out
    qint64 pauseEndsMs() const { return m_pauseEndMs; }
    void endPause() { m_pauseEndMs = 0; }

private:
    bool mayGoAhead() const;
    void grow(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs);
    double gapMs(qint32 pause) const;
    qint64 besideDueMs(int inFlight) const;

    RoadHost m_host;
    const int m_most;
    const KeptPace m_kept;
    int m_width;            // requests that may be out now: most, or fewer while opening
    bool m_opening = false;
    double m_roundTripMs = 0; // while opening, the latest accepted answer's
    const qint64 m_last;
    const int m_maxRetryAfterMs;
    QElapsedTimer m_clock;
    RequestSchedule m_requests;
    SitePace m_pace;
    FreeRefusals m_free;
    SideRequest m_side;
    qint64 m_lastStartMs = 0;
    double m_idealMs = -1;    // beyond one, when the last request was due, to a fraction of a ms
    qint32 m_pauseMs = 0; // one at a time: read with the last final answer
    qint64 m_pauseEndMs = 0;
    bool m_answered = false; // an answer has come
    qint64 m_heldSinceMs = -1;   // a hold the run told of
    qint64 m_windowFullMs = -1;  // the IDs wait for the oldest unfinished one
    bool m_settledSinceCheck = false; // one at a time: an ID was settled since the stop was looked at
};
