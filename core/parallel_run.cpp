#include "harvest_run.h"
#include "fetch_verdict.h"
#include "journal.h"
#include "profile_page.h"
#include "request_schedule.h"
#include "site_pace.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <vector>

namespace {
// How far beyond the oldest unfinished ID requests may run ahead, per request in flight:
// pages waiting for an earlier one are held, so this bounds what is held.
constexpr qint64 kWindowPerRequest = 4;
// The longest a run waits without looking again, when nothing is due.
constexpr int kIdleWaitMs = 60000;

struct Flight
{
    qint64 at; // position in the IDs walked
    int attempt;
    qint64 startedMs;
    Module1::PendingFetch fetch;
};
} // namespace

// Several requests in flight, spaced by the pause and the site's rate; what comes
// back is settled strictly in ID order, so rows, log and journal are those of one at a time.
void HarvestRun::walkInParallel(int most)
{
    const RetryPolicy &policy = m_settings.retries;
    // The transfer library holds the connections to the site to the same number, so even
    // requests of a run nested in this one never exceed it.
    const int connectionsBefore = Module1::setConnectionsPerHost(most);
    const auto restore = qScopeGuard([connectionsBefore] { Module1::setConnectionsPerHost(connectionsBefore); });
    const auto nowMs = [this] { return runMs(); };
    // Requests and answers are counted by position in the IDs walked.
    const qint64 lastAt = m_ids.size() - 1;
    RequestSchedule schedule(0, lastAt, kWindowPerRequest * most);
    InOrderCommit held(0);
    std::vector<Flight> flights;

    for (;;) {
        // Answers that came in: held for their turn, or tried again later.
        bool interrupted = false;
        for (size_t i = 0; i < flights.size();) {
            if (!flights[i].fetch.ready()) {
                ++i;
                continue;
            }
            Flight flight = std::move(flights[i]);
            flights.erase(flights.begin() + qsizetype(i));
            InOrderCommit::Answer answer;
            answer.why = flight.fetch.finish(answer.page, ProfilePage::nameMarkBytes());
            // A millisecond on top: the site's Retry-After counts from its answer, sent a moment earlier.
            const bool paceRefused = paceAnswered(answer.why, flight.startedMs, nowMs() + 1);
            switch (FetchVerdict::classify(answer.why, answer.page)) {
            case FetchVerdict::Page:
                answer.fetched = Fetched::Page;
                break;
            case FetchVerdict::Absent:
                answer.fetched = Fetched::Absent;
                break;
            case FetchVerdict::GiveUp:
                answer.fetched = Fetched::GivenUp;
                break;
            case FetchVerdict::Cancelled:
                interrupted = true;
                continue;
            case FetchVerdict::Transient:
                if (paceRefused && m_freeRefusals[flight.at]++ < kFreeRefusals) {
                    // At the pace once there is one; until then after the first retry's wait.
                    schedule.retryAt(flight.at, flight.attempt, nowMs() + (m_pace.limited() ? 0 : policy.delaysMs.value(0)));
                    continue;
                }
                if (flight.attempt < policy.delaysMs.size()) {
                    const qint64 delay = answer.why.retryAfterMs >= 0
                        ? qMin<qint64>(answer.why.retryAfterMs, policy.maxRetryAfterMs)
                        : policy.delaysMs[flight.attempt];
                    schedule.retryAt(flight.at, flight.attempt + 1, nowMs() + delay);
                    continue;
                }
                answer.fetched = Fetched::GivenUp;
                break;
            }
            held.put(flight.at, std::move(answer));
        }
        bool silent = false;
        while (!silent && held.nextReady()) {
            const qint64 at = held.oldestUnfinished();
            const InOrderCommit::Answer answer = held.takeNext();
            const Settled settled = settle(m_ids.at(at), answer.fetched, answer.page, answer.why);
            if (settled == Settled::Ended)
                return endRunHere();
            silent = settled == Settled::SiteSilent;
            if (!silent && at == lastAt)
                return complete();
        }
        if (silent) {
            // Nothing is asked of a silent site; what was in flight is dropped and asked again.
            flights.clear();
            const qint64 from = m_ids.positionOf(m_streak.front().first);
            const Silence silence = waitForSite();
            if (silence == Silence::Over) {
                giveUpOnSite();
                return endRunHere();
            }
            if (silence == Silence::Stopped) {
                if (!m_host.closing())
                    m_host.summary(m_summary);
                return endRunHere();
            }
            schedule = RequestSchedule(from, lastAt, kWindowPerRequest * most);
            held = InOrderCommit(from);
            m_freeRefusals.clear();
            continue;
        }
        if (m_host.closing())
            return endRunHere();
        // Stop: nothing new starts, what is in flight is dropped, and the rows past the last
        // ID finished in order are fetched again by the next run.
        if (interrupted || !m_host.running()) {
            m_host.summary(m_summary);
            return endRunHere();
        }
        while (int(flights.size()) < most) {
            const qint64 now = nowMs();
            const qint64 due = schedule.dueMs(held.oldestUnfinished());
            if (due < 0 || qMax(due, m_pace.openAtMs()) > now || (m_pace.holding() && !flights.empty()))
                break;
            const std::optional<RequestSchedule::Next> next = schedule.take(now, held.oldestUnfinished());
            if (!next)
                break;
            m_at = m_ids.at(held.oldestUnfinished());
            // A millisecond more for a request that goes out on a new connection, a little
            // later than one on a kept-alive connection.
            const qint32 pause = m_host.pauseMs();
            const qint64 startedMs = nowMs();
            m_pace.started(startedMs);
            schedule.started(startedMs, qMax(pause > 0 ? qint64(pause) + 1 : 0, m_pace.spacingMs()));
            flights.push_back({next->id, next->attempt, startedMs, Module1::PendingFetch(m_fetchBase + QString::number(m_ids.at(next->id)), m_settings.fetch)});
        }
        // Sleep in the event loop until an answer comes, the next start is due, or the user acts.
        qint64 waitMs = kIdleWaitMs;
        const qint64 due = schedule.dueMs(held.oldestUnfinished());
        if (int(flights.size()) < most && due >= 0 && !(m_pace.holding() && !flights.empty()))
            waitMs = qBound<qint64>(1, qMax(due, m_pace.openAtMs()) - nowMs(), qint64(kIdleWaitMs));
        Module1::waitMs(int(waitMs), [this, &flights] {
            if (!keepWaiting())
                return false;
            for (const Flight &f : flights) {
                if (f.fetch.ready())
                    return false;
            }
            return true;
        });
    }
}
