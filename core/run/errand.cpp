#include "errand.h"
#include "run_host.h"
#include "run_schedule.h"

Errand::Errand(RunSchedule &road, RunEvents &events, const RetryPolicy &policy)
    : m_road(road), m_events(events), m_policy(policy)
{
}

void Errand::waitForSite(qint64 from)
{
    m_kind = Kind::Site;
    m_outcome = Outcome::Going;
    m_from = from;
    m_dropped = false;
    wait();
}

void Errand::lookInto(qint64 from, qint64 known, const AbsentPages::Look &first, const QString &gist)
{
    m_kind = Kind::Pages;
    m_outcome = Outcome::Going;
    m_from = from;
    m_known = known;
    m_strangeLook = first;
    m_gist = gist;
    m_dropped = false;
    m_lookedAgain = from == m_lookedFrom ? m_lookedAgain + 1 : 0;
    m_lookedFrom = from;
    // One at a time the look holds the IDs back; beyond one they go on beside it, their
    // answers held for their turn.
    m_idsGoOn = m_road.most() > 1;
    if (!m_idsGoOn)
        m_road.holdBegins();
    probe();
}

// Nothing is asked of a site that is silent or blocks the run but the probe: what was in
// flight is dropped and asked again, and the site's pace reads nothing from the wait.
void Errand::wait()
{
    m_idsGoOn = false;
    m_holdBack = m_dropped = true;
    m_road.holdBegins();
    m_wait.emplace(m_policy, m_road.nowMs(), [this](qint64 msToTry, bool begins) {
        if (m_kind == Kind::Site)
            m_events.siteSilent(m_from, msToTry, begins);
        else
            m_events.pagesStrange(m_from, msToTry, begins, m_gist);
    });
}

void Errand::probe()
{
    if (m_kind == Kind::Site)
        return m_road.side().ask(m_from, [this](Answer &answer) { siteProbed(answer); });
    m_road.side().ask(m_from, [this](Answer &answer) { firstPageProbed(answer); });
}

void Errand::siteProbed(const Answer &answer)
{
    if (answer.fetched == Fetched::Interrupted)
        return finish(Outcome::Stopped);
    if (answer.fetched == Fetched::GivenUp)
        return m_wait->notBack();
    m_events.siteBack(m_from);
    finish(Outcome::GoOn);
}

// The first of the strange pages, asked again: a profile now, or how it looks; then the
// profile the site served.
void Errand::firstPageProbed(Answer &answer)
{
    if (answer.fetched == Fetched::Interrupted)
        return finish(Outcome::Stopped);
    if (answer.fetched == Fetched::Page)
        return pagesProbed(Outcome::GoOn);
    if (answer.why.gist.isEmpty())
        answer.why.gist = Module1::pageGist(answer.page);
    m_probedLook = AbsentPages::lookOf(answer.why);
    m_road.side().ask(m_known, [this](Answer &known) { knownProbed(known); });
}

void Errand::knownProbed(const Answer &answer)
{
    if (answer.fetched == Fetched::Interrupted)
        return finish(Outcome::Stopped);
    if (answer.fetched != Fetched::Page)
        return pagesProbed(Outcome::Going);
    // These pages were looked into before, or look as they did: a page that looks different
    // at every ask is taken for the site's too.
    pagesProbed(m_lookedAgain > 0 || m_probedLook == m_strangeLook ? Outcome::Absences : Outcome::GoOn);
}

// seen: the profiles are back (GoOn), the pages are the site's absence, or still strange (Going).
void Errand::pagesProbed(Outcome seen)
{
    if (m_wait) {
        if (seen == Outcome::Going)
            return m_wait->notBack();
        m_events.siteBack(m_from);
        return finish(seen);
    }
    m_road.holdEnds();
    m_idsGoOn = false;
    // A site that shows a profile to the probe and something else to the run, time after
    // time, is asked no faster than a blocking one.
    if (seen == Outcome::Going || (seen == Outcome::GoOn && m_lookedAgain >= 2))
        return wait();
    finish(seen);
}

void Errand::turn(qint64 nowMs)
{
    if (!m_wait || m_road.side().asked() || m_outcome != Outcome::Going)
        return;
    switch (m_wait->at(nowMs)) {
    case QuietSite::Step::Wait:
        break;
    case QuietSite::Step::Probe:
        probe();
        break;
    case QuietSite::Step::Over:
        finish(m_kind == Kind::Site ? Outcome::GiveUpOnSite : Outcome::GiveUpOnPages);
        break;
    }
}

qint64 Errand::dueMs() const
{
    return m_wait && !m_road.side().asked() && m_outcome == Outcome::Going ? m_wait->dueMs() : -1;
}

bool Errand::takeHoldBack()
{
    const bool hold = m_holdBack;
    m_holdBack = false;
    return hold;
}

void Errand::finish(Outcome outcome)
{
    m_outcome = outcome;
    m_road.holdEnds();
    m_road.side().drop();
}

void Errand::done()
{
    m_kind = Kind::None;
    m_outcome = Outcome::Going;
    m_wait.reset();
    m_idsGoOn = m_holdBack = false;
}
