#pragma once

#include "request_schedule.h"
#include "site_pace.h"

#include <QElapsedTimer>

#include <optional>

class RunHost;
namespace Module1 {
struct FetchOutcome;
}

// Where the next request of a run may start: the IDs in order with the retries due before
// them, the pause and the site's pace. One at a time, the pause follows each settled ID and
// the next request may go out while the last answer is read; beyond one, the pause is the
// least time between two starts. Times are on the run's clock, in ms.
class RunSchedule
{
public:
    RunSchedule(RunHost &host, int most, qint64 lastPosition, int maxRetryAfterMs);

    int most() const { return m_most; }
    qint64 nowMs() const; // rounded up: a wait measured from it is never short
    const SitePace &pace() const { return m_pace; }
    // Everything starts afresh from position from on (after a quiet site answered again).
    void restartAt(qint64 from);

    // Feeds the pace an answer to a request started at startedMs; true when it was a
    // refusal the pace caused (the site takes others).
    bool answered(const Module1::FetchOutcome &outcome, qint64 startedMs);
    void retryAt(qint64 position, int attempt, qint64 atMs) { m_requests.retryAt(position, attempt, atMs); }

    // When the next request may start, with inFlight out; -1 while only an answer can tell.
    qint64 dueMs(qint64 oldest, int inFlight) const;
    // The next request, when it may start now. ahead: one at a time, the ID after oldest,
    // whose answer is in and is about to be settled.
    std::optional<RequestSchedule::Next> take(qint64 oldest, int inFlight);
    std::optional<RequestSchedule::Next> takeAhead(qint64 oldest);
    // The request taken goes out now; returns when, on the run's clock.
    qint64 started();

    // One at a time, whether the next ID may go out before the answer in is read: only after
    // an answer that is surely a page or no profile (before) or one read (after), with no pause.
    bool goesAhead(const Module1::FetchOutcome *before);
    // One at a time: a final answer came, and its pause is read; the ID is settled.
    void answerIsFinal();
    void settled();
    bool pausing() const; // the pause after a settled ID has not run out
    qint64 pauseEndsMs() const { return m_pauseEndMs; }
    void endPause() { m_pauseEndMs = 0; }

private:
    bool mayGoAhead() const;

    RunHost &m_host;
    const int m_most;
    const qint64 m_last;
    const int m_maxRetryAfterMs;
    QElapsedTimer m_clock;
    RequestSchedule m_requests;
    SitePace m_pace;
    qint64 m_lastStartMs = 0;
    qint32 m_pauseMs = 0;   // one at a time: read with the last final answer
    qint64 m_pauseEndMs = 0;
};
