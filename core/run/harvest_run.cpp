#include "harvest_run.h"
#include "answer_judge.h"
#include "profile_page.h"

#include "pageutil.h"

#include <QScopeGuard>

namespace {
// The longest a run sleeps without looking again, when nothing is due.
constexpr int kIdleWaitMs = 60000;
} // namespace

HarvestRun::HarvestRun(RunHost &host, RunEvents &events, const QString &fetchBaseUrl, const RunSettings &settings)
    : m_host(host), m_events(events), m_settings(settings), m_urls(fetchBaseUrl),
      m_settlement(host, events, m_settings.retries)
{
}

HarvestRun::~HarvestRun() = default;

void HarvestRun::execute(qint32 startID, qint32 endID)
{
    // IDs are walked in 64 bits: a range may end at the largest 32-bit ID, and a span
    // wider than 2^31 still shows its true numbers.
    if (endID < startID) {
        m_settlement.setAt(startID);
        m_events.reversedRange();
        return;
    }
    execute(IdSequence(startID, endID));
}

void HarvestRun::execute(const IdSequence &ids)
{
    m_ids = ids;
    if (m_ids.size() == 0)
        return;
    m_settlement.begin(m_ids);
    const int most = qBound(1, m_host.parallel(), kMostInFlight);
    RoadHost road{[this] { return m_host.pauseMs(); }, [this] { return m_host.running(); },
                  [this](double rate) {
                      m_events.sitePace(rate);
                      m_settlement.paced();
                  },
                  {}};
    m_schedule = std::make_unique<RunSchedule>(std::move(road), most, m_ids.size() - 1, m_settings.retries.maxRetryAfterMs,
                                               m_settings.pace);
    m_settlement.paceFrom([this] { return m_schedule->kept(); });
    if (most > 1 && m_settings.pace.known())
        m_events.startsAtKeptPace(m_settings.pace);
    m_errand = std::make_unique<Errand>(*m_schedule, m_events, m_settings.retries);
    m_flights.clear();
    m_held = InOrderCommit(0);
    m_interrupted = false;
    // Beyond one, the transfer library holds the connections to the site to the same number,
    // so even requests of a run nested in this one never exceed it.
    const int connectionsBefore = most > 1 ? Module1::setConnectionsPerHost(most) : -1;
    const auto restore = qScopeGuard([connectionsBefore] {
        if (connectionsBefore >= 0)
            Module1::setConnectionsPerHost(connectionsBefore);
    });
    const auto dropFlights = qScopeGuard([this] { m_flights.clear(); }); // what is still out is abandoned
    try {
        walk();
    } catch (const Module1::Failure &failure) {
        m_flights.clear();
        m_settlement.failed();
        m_events.failed(m_settlement.at(), failure.message(), failure.code());
    }
}

bool HarvestRun::keepWaiting() const { return m_host.running() && !m_host.closing(); }

// The one loop, for any number in flight: requests start when the schedule allows, answers are
// taken as they come and settled strictly in ID order (so rows, log and journal are those of
// one at a time), and in between the run sleeps in the event loop until something is due.
void HarvestRun::walk()
{
    for (;;) {
        collectAnswers();
        // Closing: the run leaves at once, touching nothing.
        if (m_host.closing())
            return m_settlement.endRunHere(false);
        if (m_errand->busy()) {
            if (!turnErrand())
                return;
            continue;
        }
        const Settlement::Settled settled = settleInOrder();
        if (settled == Settlement::Settled::Ended)
            return m_settlement.endRunHere(false);
        if (settled == Settlement::Settled::SiteSilent || settled == Settlement::Settled::Strange
            || settled == Settlement::Settled::LookFirst) {
            beginErrand(settled);
            continue;
        }
        // One at a time, the last ID's pause runs out and the stop is looked at before the end.
        if (m_settlement.rangeDone() && m_schedule->most() > 1)
            return m_settlement.complete();
        if (!m_schedule->pausing() && !awaitsAnswer()) {
            // Stop: nothing new starts, what is in flight is dropped, and the rows past the
            // last ID finished in order are fetched again by the next run.
            if (m_interrupted || !m_host.running())
                return m_settlement.endRunHere(true);
            if (m_settlement.rangeDone())
                return m_settlement.complete();
            m_schedule->stopLooked();
            startDue();
        }
        sleep();
    }
}

void HarvestRun::collectAnswers()
{
    // One at a time, the answer to the request out is simply waited for.
    if (awaitsAnswer()) {
        Flights::Flight flight = *m_flights.takeOldest();
        return flight.beside ? takeBeside(flight) : takeAnswer(flight);
    }
    while (std::optional<Flights::Flight> flight = m_flights.takeAnswered())
        flight->beside ? takeBeside(*flight) : takeAnswer(*flight);
}

// What the answer means: held for its turn, tried again later, or the run's end.
void HarvestRun::takeAnswer(Flights::Flight &flight)
{
    const qint64 lastAt = m_ids.size() - 1;
    InOrderCommit::Answer answer;
    answer.page = m_flights.sparePage();
    // One at a time, an answer that is surely a page or no profile sends the next request
    // before its page is read (not while an errand is out).
    answer.why = flight.fetch.finish(answer.page, ProfilePage::nameMarkBytes(), [&](const Module1::FetchOutcome &in) {
        if (!in.movedTo.isEmpty() && m_urls.follow(in.movedTo, m_ids.at(flight.at)))
            m_events.siteMoved(m_urls.base());
        if (!m_errand->busy() && flight.at < lastAt && m_schedule->goesAhead(&in))
            startAhead(flight.at);
    });
    const RunSchedule::Answered road = m_schedule->answered(answer.why, flight.startedMs, flight.at);
    const Judgement judged = judgeAnswer(answer.why, answer.page, m_settings.retries, flight.attempt, road.paceRefused,
                                         road.freeRefusals, m_schedule->pace().limited());
    if (judged.kind != Judgement::Settle) {
        m_interrupted = m_interrupted || judged.kind == Judgement::Cancelled;
        if (judged.kind == Judgement::Retry)
            m_schedule->retryAt(flight.at, judged.attempt, m_schedule->nowMs() + judged.delayMs);
        return m_flights.recycle(std::move(answer.page), m_schedule->most());
    }
    answer.fetched = judged.fetched;
    if (!m_host.closing()) {
        m_schedule->answerIsFinal();
        if (!m_errand->busy() && m_flights.empty() && answer.fetched != Fetched::GivenUp && flight.at < lastAt
            && m_schedule->goesAhead(nullptr))
            startAhead(flight.at);
    }
    m_held.put(flight.at, std::move(answer));
}

Settlement::Settled HarvestRun::settleInOrder()
{
    using Settled = Settlement::Settled;
    while (m_held.nextReady()) {
        const qint64 at = m_held.oldestUnfinished();
        InOrderCommit::Answer &answer = m_held.next();
        const Settled settled = m_settlement.settle(m_ids.at(at), answer.fetched, answer.page, answer.why);
        if (settled == Settled::LookFirst) { // left for its turn after the look; its pause runs meanwhile
            m_schedule->settled(false);
            return settled;
        }
        m_flights.recycle(std::move(m_held.takeNext().page), m_schedule->most());
        if (settled == Settled::Ended || settled == Settled::SiteSilent)
            return settled;
        m_schedule->settled(true);
        if (settled == Settled::Strange || settled == Settled::Done)
            return settled;
    }
    return Settled::Go;
}

void HarvestRun::startDue()
{
    for (;;) {
        const qint64 oldest = m_held.oldestUnfinished();
        const std::optional<RequestSchedule::Next> next = m_schedule->take(oldest, m_flights.size(), idsWait());
        if (!next)
            return;
        if (!next->beside)
            m_settlement.setAt(m_ids.at(oldest));
        start(*next);
    }
}

void HarvestRun::startAhead(qint64 position)
{
    if (const std::optional<RequestSchedule::Next> next = m_schedule->takeAhead(position))
        start(*next);
}

// Every request of the run goes out here, once the schedule has let it.
void HarvestRun::start(const RequestSchedule::Next &next)
{
    const qint64 startedMs = m_schedule->started();
    const qint64 id = next.beside ? m_schedule->side().id() : m_ids.at(next.id);
    m_flights.add({next.id, next.attempt, startedMs, Module1::PendingFetch(m_urls.of(id), m_settings.fetch), next.beside});
}

// Sleeps in the event loop until an answer comes, the next start or the errand's next step is
// due, or the user acts.
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
    qint64 due = m_schedule->dueMs(m_held.oldestUnfinished(), m_flights.size(), idsWait());
    const qint64 errandDue = m_errand->dueMs();
    if (errandDue >= 0 && (due < 0 || errandDue < due))
        due = errandDue;
    const qint64 waitMs = due < 0 ? kIdleWaitMs : qBound<qint64>(1, due - m_schedule->nowMs(), qint64(kIdleWaitMs));
    Module1::waitMs(int(waitMs), [this] { return keepWaiting() && !m_flights.anyAnswerIn(); });
}
