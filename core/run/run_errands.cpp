#include "harvest_run.h"
#include "answer_judge.h"
#include "profile_page.h"

// Answers that make no sense stop the settling: pages neither a profile nor the site's known
// "no such profile" are looked into, a silent site is waited for. Meanwhile the IDs' answers
// are held for their turn.
void HarvestRun::beginErrand(Settlement::Settled why)
{
    const qint64 from = m_settlement.streakStart();
    if (why == Settlement::Settled::SiteSilent)
        m_errand->waitForSite(from);
    else
        m_errand->lookInto(from, m_settlement.absentPages().lastProfile(), m_settlement.strangeLook(),
                           m_settlement.strangeGist());
    if (m_errand->takeHoldBack())
        m_flights.clear();
}

bool HarvestRun::turnErrand()
{
    if (m_errand->outcome() == Errand::Outcome::Going && !keepWaiting()) {
        m_flights.dropBeside();
        m_errand->stop();
    }
    if (m_errand->takeHoldBack())
        m_flights.clear();
    m_errand->turn(m_schedule->nowMs());
    if (m_errand->outcome() != Errand::Outcome::Going)
        return endErrand();
    startDue();
    sleep();
    return true;
}

bool HarvestRun::endErrand()
{
    const Errand::Outcome outcome = m_errand->outcome();
    const qint64 from = m_errand->from();
    const bool dropped = m_errand->droppedFlights();
    m_errand->done();
    switch (outcome) {
    case Errand::Outcome::GoOn:
        goOnFrom(from);
        return true;
    case Errand::Outcome::Absences:
        takeAsAbsences(dropped);
        return true;
    case Errand::Outcome::GiveUpOnSite:
        m_settlement.giveUpOnSite();
        return false;
    case Errand::Outcome::GiveUpOnPages:
        m_settlement.giveUpOnPages();
        return false;
    case Errand::Outcome::Going:
    case Errand::Outcome::Stopped:
        break;
    }
    m_settlement.endRunHere(!m_host.closing());
    return false;
}

// The pages held are the site's absence: settled as such. After a wait, what was in flight
// then is asked again.
void HarvestRun::takeAsAbsences(bool flightsDropped)
{
    const qint64 last = m_settlement.takeStrangeAsAbsent();
    if (last != m_ids.last() && flightsDropped)
        goOnFrom(m_ids.at(m_ids.positionOf(last) + 1));
}

void HarvestRun::goOnFrom(qint64 id)
{
    m_flights.clear();
    m_settlement.siteBack();
    const qint64 position = m_ids.positionOf(id);
    m_schedule->restartAt(position);
    m_held = InOrderCommit(position);
}

// The answer to the request beside the IDs goes back to whoever asked it.
void HarvestRun::takeBeside(Flights::Flight &flight)
{
    SideRequest::Answer asked;
    asked.why = flight.fetch.finish(asked.page, ProfilePage::nameMarkBytes());
    const RunSchedule::Answered road = m_schedule->answered(asked.why, flight.startedMs, -1);
    m_schedule->besideAnswered();
    const Judgement judged = judgeAnswer(asked.why, asked.page, m_settings.retries, 0, road.paceRefused,
                                         road.freeRefusals, m_schedule->pace().limited());
    SideRequest &side = m_schedule->side();
    if (judged.kind == Judgement::Cancelled) {
        m_interrupted = true;
        asked.fetched = Fetched::Interrupted;
    } else if (judged.kind == Judgement::Retry && road.paceRefused) {
        // Refused for the run's own pace: asked again at the pace, as an ID would be.
        return side.refused(m_schedule->nowMs() + judged.delayMs);
    } else {
        // One ask is all: any other fault is the answer.
        asked.fetched = judged.kind == Judgement::Settle ? judged.fetched : Fetched::GivenUp;
    }
    side.answer(asked);
}
