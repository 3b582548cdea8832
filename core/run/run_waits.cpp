#include "harvest_run.h"
#include "answer_judge.h"
#include "profile_page.h"
#include "quiet_site.h"

#include "pageutil.h"

#include <QScopeGuard>
#include <QUrl>

// A request beside the IDs (a look into strange pages, a probe of a quiet site) takes the
// road every request takes: it waits for the pause, the site's pace and a free place, and goes
// before any ID. Answers to IDs that come meanwhile are held for their turn.
bool HarvestRun::ask(qint64 id, Asked &out)
{
    m_asking = true;
    m_besideId = id;
    m_besideRefusals = 0;
    m_besideAnswer.reset();
    const auto done = qScopeGuard([this] {
        m_asking = false;
        m_schedule->dropBeside();
    });
    m_schedule->askBeside();
    for (;;) {
        collectAnswers();
        if (m_besideAnswer)
            break;
        if (!keepWaiting()) {
            m_flights.erase(std::remove_if(m_flights.begin(), m_flights.end(), [](const Flight &f) { return f.beside; }),
                            m_flights.end());
            return false;
        }
        startDue();
        sleep();
    }
    out = std::move(*m_besideAnswer);
    m_besideAnswer.reset();
    return true;
}

void HarvestRun::takeBeside(Flight &flight)
{
    Asked asked;
    asked.why = flight.fetch.finish(asked.page, ProfilePage::nameMarkBytes());
    const bool paceRefused = m_schedule->answered(asked.why, flight.startedMs, -1);
    m_schedule->besideAnswered();
    const Judgement judged = judgeAnswer(asked.why, asked.page, m_settings.retries, 0, paceRefused, m_besideRefusals,
                                         m_schedule->pace().limited());
    if (judged.kind == Judgement::Cancelled) {
        m_interrupted = true;
        asked.fetched = Fetched::Interrupted;
    } else if (judged.kind == Judgement::Retry && paceRefused) {
        // Refused for the run's own pace: asked again at the pace, as an ID would be.
        ++m_besideRefusals;
        m_schedule->askBeside(m_schedule->nowMs() + judged.delayMs);
        return;
    } else {
        // One ask is all: any other fault is the answer.
        asked.fetched = judged.kind == Judgement::Settle ? judged.fetched : Fetched::GivenUp;
    }
    m_besideAnswer = std::move(asked);
}

void HarvestRun::stoppedWaiting() { m_settlement.endRunHere(!m_host.closing()); }

// Nothing is asked of a site that is silent or blocks the run but the probe: what was in flight
// is dropped and asked again, and the site's pace reads nothing from the wait.
QuietSite::Silence HarvestRun::holdBack(const QuietSite::Probe &probe, const QuietSite::Told &told)
{
    m_flights.clear();
    m_flightsDropped = true;
    QuietSite quiet(m_settings, [this] { return m_schedule->nowMs(); }, [this] { return keepWaiting(); });
    m_schedule->holdBegins();
    const QuietSite::Silence silence = quiet.wait(probe, told);
    m_schedule->holdEnds();
    return silence;
}

bool HarvestRun::waitForSite()
{
    const qint64 from = m_settlement.streakStart();
    const QuietSite::Silence silence = holdBack(
        [&] {
            Asked asked;
            if (!ask(from, asked) || asked.fetched == Fetched::Interrupted)
                return -1;
            return asked.fetched == Fetched::Page || asked.fetched == Fetched::Absent ? 1 : 0;
        },
        [&](qint64 msToTry, bool begins) { m_events.siteSilent(from, msToTry, begins); });
    switch (silence) {
    case QuietSite::Silence::Over:
        m_settlement.giveUpOnSite();
        return false;
    case QuietSite::Silence::Stopped:
        stoppedWaiting();
        return false;
    case QuietSite::Silence::Answers:
        break;
    }
    m_events.siteBack(from);
    goOnFrom(from);
    return true;
}

// Pages that are neither a profile nor the site's known "no such profile" are looked into at
// once: most often they are the site's own absence, new to the run, which a profile read
// before shows by still being served. Else the site is blocking the run, which waits as for a
// silent site; when profiles come back, it goes on from the first of those pages.
bool HarvestRun::lookIntoPages()
{
    const qint64 from = m_settlement.streakStart();
    m_lookedAgain = from == m_lookedFrom ? m_lookedAgain + 1 : 0;
    m_lookedFrom = from;
    const bool again = m_lookedAgain > 0;
    // One at a time the look holds the IDs back; beyond one they go on beside it.
    m_idsGoOn = m_schedule->most() > 1;
    if (!m_idsGoOn)
        m_schedule->holdBegins();
    Probed probed = probePages(from, again);
    m_schedule->holdEnds();
    m_idsGoOn = false;
    // A site that shows a profile to the probe and something else to the run, time after
    // time, is asked no faster than a blocking one.
    if (probed == Probed::Back && m_lookedAgain >= 2)
        probed = Probed::Strange;
    if (probed == Probed::Strange && !waitWhileStrange(from, again, probed))
        return false;
    if (probed == Probed::Stopped) {
        stoppedWaiting();
        return false;
    }
    if (probed == Probed::Absences)
        return takeAsAbsences();
    goOnFrom(from);
    return true;
}

// The site blocks the run: the pages are looked into again after waits that grow, until they
// are what they seemed or the patience is spent.
bool HarvestRun::waitWhileStrange(qint64 from, bool again, Probed &probed)
{
    const QString gist = m_settlement.strangeGist();
    const QuietSite::Silence silence = holdBack(
        [&] {
            probed = probePages(from, again);
            return probed == Probed::Stopped ? -1 : probed == Probed::Strange ? 0 : 1;
        },
        [&](qint64 msToTry, bool begins) { m_events.pagesStrange(from, msToTry, begins, gist); });
    if (silence == QuietSite::Silence::Over) {
        m_settlement.giveUpOnPages();
        return false;
    }
    if (silence == QuietSite::Silence::Answers)
        m_events.siteBack(from);
    else
        probed = Probed::Stopped;
    return true;
}

// The first of the pages asked again, then a profile the site served. again: these pages were
// looked into before, and a page that looks different at every ask is taken for the site's.
HarvestRun::Probed HarvestRun::probePages(qint64 from, bool again)
{
    AbsentPages::Look first;
    const int firstIs = askForProfile(from, &first);
    if (firstIs != 0)
        return firstIs > 0 ? Probed::Back : Probed::Stopped;
    const int knownIs = askForProfile(m_settlement.absentPages().lastProfile(), nullptr);
    if (knownIs <= 0)
        return knownIs < 0 ? Probed::Stopped : Probed::Strange;
    return again || first == m_settlement.strangeLook() ? Probed::Absences : Probed::Back;
}

int HarvestRun::askForProfile(qint64 id, AbsentPages::Look *look)
{
    Asked asked;
    if (!ask(id, asked) || asked.fetched == Fetched::Interrupted)
        return -1;
    if (asked.fetched == Fetched::Page)
        return 1;
    if (look) {
        if (asked.why.gist.isEmpty())
            asked.why.gist = Module1::pageGist(asked.page);
        *look = AbsentPages::lookOf(asked.why);
    }
    return 0;
}

bool HarvestRun::takeAsAbsences()
{
    const qint64 last = m_settlement.takeStrangeAsAbsent();
    if (last == m_ids.last())
        m_rangeDone = true;
    else if (m_flightsDropped) // after a wait: what was in flight then is asked again
        goOnFrom(m_ids.at(m_ids.positionOf(last) + 1));
    return true;
}

void HarvestRun::goOnFrom(qint64 id)
{
    m_flights.clear();
    m_flightsDropped = false;
    m_settlement.siteBack();
    const qint64 position = m_ids.positionOf(id);
    m_schedule->restartAt(position);
    m_held = InOrderCommit(position);
    m_refusals.clear();
}

// A profile moved for good to the same path under another scheme or host: the rest of the
// IDs go there at once, rather than each through the redirect.
void HarvestRun::followMove(const Module1::FetchOutcome &why, qint64 id)
{
    const QString idText = QString::number(id);
    const QUrl before(m_fetchBase + idText), after(why.movedTo);
    if (m_moved || !why.movedTo.endsWith(idText) || before.path() != after.path() || !after.query().isEmpty())
        return;
    if (before.scheme() == after.scheme() && before.host() == after.host() && before.port() == after.port())
        return;
    m_moved = true;
    m_fetchBase = why.movedTo.left(why.movedTo.size() - idText.size());
    m_events.siteMoved(m_fetchBase);
}
