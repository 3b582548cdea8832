#include "harvest_run.h"
#include "answer_judge.h"
#include "profile_page.h"
#include "quiet_site.h"

#include "pageutil.h"

namespace {
// The longest a run sleeps without looking again, when nothing is due.
constexpr int kIdleWaitMs = 60000;
} // namespace

// One loop for any number in flight: requests start when the schedule allows, answers are
// taken as they come and settled strictly in ID order (so rows, log and journal are those of
// one at a time), and in between the run sleeps in the event loop until something is due.
void HarvestRun::walk()
{
    for (;;) {
        collectAnswers();
        // Closing: the run leaves at once, touching nothing.
        if (m_host.closing())
            return m_settlement.endRunHere();
        const Settlement::Settled settled = settleInOrder();
        if (settled == Settlement::Settled::Ended)
            return m_settlement.endRunHere();
        if (settled == Settlement::Settled::SiteSilent || settled == Settlement::Settled::Strange) {
            if (!(settled == Settlement::Settled::Strange ? lookIntoPages() : waitForSite()))
                return m_settlement.endRunHere();
            continue;
        }
        // One at a time, the last ID's pause runs out and the stop is looked at before the end.
        if (m_rangeDone && m_schedule->most() > 1)
            return m_settlement.complete();
        if (!m_schedule->pausing() && !awaitsAnswer()) {
            // Stop: nothing new starts, what is in flight is dropped, and the rows past the
            // last ID finished in order are fetched again by the next run.
            if (m_interrupted || !m_host.running()) {
                m_host.summary(m_settlement.summary());
                return m_settlement.endRunHere();
            }
            if (m_rangeDone)
                return m_settlement.complete();
            m_settledSinceCheck = false;
            startDue();
        }
        sleep();
    }
}

void HarvestRun::collectAnswers()
{
    // One at a time, the answer to the ID being fetched is simply waited for.
    if (awaitsAnswer()) {
        Flight flight = std::move(m_flights.front());
        m_flights.erase(m_flights.begin());
        return takeAnswer(flight);
    }
    for (size_t i = 0; i < m_flights.size();) {
        if (!m_flights[i].fetch.ready()) {
            ++i;
            continue;
        }
        Flight flight = std::move(m_flights[i]);
        m_flights.erase(m_flights.begin() + qsizetype(i));
        takeAnswer(flight);
    }
}

// What the answer means: held for its turn, tried again later, or the run's end.
void HarvestRun::takeAnswer(Flight &flight)
{
    const qint64 lastAt = m_ids.size() - 1;
    InOrderCommit::Answer answer;
    // The storage of pages read before serves this one: thousands of pages of much the same size.
    if (!m_sparePages.empty()) {
        answer.page = std::move(m_sparePages.back());
        m_sparePages.pop_back();
    }
    // One at a time, an answer that is surely a page or no profile sends the next request
    // before its page is read.
    answer.why = flight.fetch.finish(answer.page, ProfilePage::nameMarkBytes(), [&](const Module1::FetchOutcome &in) {
        if (!in.movedTo.isEmpty())
            followMove(in, m_ids.at(flight.at));
        if (flight.at < lastAt && m_schedule->goesAhead(&in))
            startAhead(flight.at);
    });
    const bool paceRefused = m_schedule->answered(answer.why, flight.startedMs);
    const int freeRefusals = paceRefused ? m_freeRefusals[flight.at]++ : 0;
    const Judgement judged = judgeAnswer(answer.why, answer.page, m_settings.retries, flight.attempt, paceRefused,
                                         freeRefusals, m_schedule->pace().limited());
    if (judged.kind != Judgement::Settle) {
        m_interrupted = m_interrupted || judged.kind == Judgement::Cancelled;
        if (judged.kind == Judgement::Retry)
            m_schedule->retryAt(flight.at, judged.attempt, m_schedule->nowMs() + judged.delayMs);
        return recycle(std::move(answer.page));
    }
    answer.fetched = judged.fetched;
    if (!m_host.closing()) {
        m_schedule->answerIsFinal();
        if (m_flights.empty() && answer.fetched != Fetched::GivenUp && flight.at < lastAt && m_schedule->goesAhead(nullptr))
            startAhead(flight.at);
    }
    m_held.put(flight.at, std::move(answer));
}

Settlement::Settled HarvestRun::settleInOrder()
{
    while (m_held.nextReady()) {
        const qint64 at = m_held.oldestUnfinished();
        InOrderCommit::Answer answer = m_held.takeNext();
        const Settlement::Settled settled = m_settlement.settle(m_ids.at(at), answer.fetched, answer.page, answer.why);
        recycle(std::move(answer.page));
        if (settled == Settlement::Settled::Ended || settled == Settlement::Settled::SiteSilent
            || settled == Settlement::Settled::Strange)
            return settled;
        m_schedule->settled();
        m_settledSinceCheck = true;
        if (settled == Settlement::Settled::Done) {
            m_rangeDone = true;
            return settled;
        }
    }
    return Settlement::Settled::Go;
}

void HarvestRun::recycle(Module1::Page &&page)
{
    if (int(m_sparePages.size()) <= m_schedule->most())
        m_sparePages.push_back(std::move(page));
}

bool HarvestRun::waitForSite()
{
    // Nothing is asked of a silent site; what was in flight is dropped and asked again.
    m_flights.clear();
    const qint64 from = m_settlement.streakStart();
    QuietSite quiet(m_settings, [this] { return m_schedule->nowMs(); }, [this] { return keepWaiting(); });
    const QString url = m_fetchBase + QString::number(from);
    switch (quiet.wait([&] { return quiet.answers(url); },
                       [&](qint64 msToTry, bool begins) { m_host.siteSilent(from, msToTry, begins); })) {
    case QuietSite::Silence::Over:
        m_settlement.giveUpOnSite();
        return false;
    case QuietSite::Silence::Stopped:
        if (!m_host.closing())
            m_host.summary(m_settlement.summary());
        return false;
    case QuietSite::Silence::Answers:
        break;
    }
    m_host.siteBack(from);
    goOnFrom(from);
    return true;
}

void HarvestRun::goOnFrom(qint64 id)
{
    m_settlement.siteBack();
    const qint64 position = m_ids.positionOf(id);
    m_schedule->restartAt(position);
    m_held = InOrderCommit(position);
    m_freeRefusals.clear();
}

// One at a time, the answer to the ID being fetched is awaited whatever the user does; the
// stop is looked at once it is settled.
bool HarvestRun::awaitsAnswer() const
{
    return m_schedule->most() == 1 && !m_flights.empty() && !m_settledSinceCheck;
}

void HarvestRun::startDue()
{
    for (;;) {
        const qint64 oldest = m_held.oldestUnfinished();
        const std::optional<RequestSchedule::Next> next = m_schedule->take(oldest, int(m_flights.size()));
        if (!next)
            return;
        m_settlement.setAt(m_ids.at(oldest));
        start(*next);
    }
}

void HarvestRun::startAhead(qint64 position)
{
    if (const std::optional<RequestSchedule::Next> next = m_schedule->takeAhead(position))
        start(*next);
}

void HarvestRun::start(const RequestSchedule::Next &next)
{
    const qint64 startedMs = m_schedule->started();
    m_flights.push_back({next.id, next.attempt, startedMs,
                         Module1::PendingFetch(m_fetchBase + QString::number(m_ids.at(next.id)), m_settings.fetch)});
}

// Sleeps in the event loop until an answer comes, the next start is due, or the user acts.
void HarvestRun::sleep()
{
    if (m_schedule->pausing()) {
        // The window lets the pause run out; the command line's stop ends it. Closing ends it too.
        const bool stopEnds = m_host.stopEndsPause();
        if (!Module1::waitMs(int(m_schedule->pauseEndsMs() - m_schedule->nowMs()),
                             [this, stopEnds] { return !stopEnds || m_host.running(); }))
            m_schedule->endPause();
        return;
    }
    if (awaitsAnswer())
        return; // waited for as it is taken
    qint64 waitMs = kIdleWaitMs;
    const qint64 due = m_schedule->dueMs(m_held.oldestUnfinished(), int(m_flights.size()));
    if (due >= 0)
        waitMs = qBound<qint64>(1, due - m_schedule->nowMs(), qint64(kIdleWaitMs));
    Module1::waitMs(int(waitMs), [this] { return keepWaiting() && !anyAnswerIn(); });
}
