#include "harvest_run.h"
#include "fetch_verdict.h"
#include "quiet_site.h"

#include <QUrl>

// Pages that are neither a profile nor the site's known "no such profile" are looked into at
// once: most often they are the site's own absence, new to the run, which a profile read
// before shows by still being served. Else the site is blocking the run, which waits as for a
// silent site; when profiles come back, it goes on from the first of those pages.
bool HarvestRun::lookIntoPages()
{
    m_flights.clear();
    const qint64 from = m_settlement.streakStart();
    m_lookedAgain = from == m_lookedFrom ? m_lookedAgain + 1 : 0;
    m_lookedFrom = from;
    const bool again = m_lookedAgain > 0;
    QuietSite quiet(m_settings, [this] { return m_schedule->nowMs(); }, [this] { return keepWaiting(); });
    Probed probed = probePages(quiet, from, again);
    // A site that shows a profile to the probe and something else to the run, time after
    // time, is asked no faster than a blocking one.
    if (probed == Probed::Back && m_lookedAgain >= 2)
        probed = Probed::Strange;
    if (probed == Probed::Strange) {
        const QString gist = m_settlement.strangeGist();
        const QuietSite::Silence silence = quiet.wait(
            [&] {
                probed = probePages(quiet, from, again);
                return probed == Probed::Stopped ? -1 : probed == Probed::Strange ? 0 : 1;
            },
            [&](qint64 msToTry, bool begins) { m_host.pagesStrange(from, msToTry, begins, gist); });
        if (silence == QuietSite::Silence::Over) {
            m_settlement.giveUpOnPages();
            return false;
        }
        if (silence == QuietSite::Silence::Answers)
            m_host.siteBack(from);
        else
            probed = Probed::Stopped;
    }
    if (probed == Probed::Stopped) {
        if (!m_host.closing())
            m_host.summary(m_settlement.summary());
        return false;
    }
    if (probed == Probed::Absences)
        return takeAsAbsences();
    goOnFrom(from);
    return true;
}

// The first of the pages asked again, then the last profile read. again: these pages were
// looked into before, and a page that looks different at every ask is taken for the site's.
HarvestRun::Probed HarvestRun::probePages(QuietSite &quiet, qint64 from, bool again)
{
    AbsentPages::Look first;
    const int firstIs = askForProfile(quiet, from, &first);
    if (firstIs != 0)
        return firstIs > 0 ? Probed::Back : Probed::Stopped;
    const int knownIs = askForProfile(quiet, m_settlement.absentPages().lastProfile(), nullptr);
    if (knownIs <= 0)
        return knownIs < 0 ? Probed::Stopped : Probed::Strange;
    return again || first == m_settlement.strangeLook() ? Probed::Absences : Probed::Back;
}

int HarvestRun::askForProfile(QuietSite &quiet, qint64 id, AbsentPages::Look *look)
{
    // The probes keep to the run's pause, as every request of it does.
    if (!Module1::waitMs(m_host.pauseMs(), [this] { return keepWaiting(); }))
        return -1;
    Module1::FetchOutcome why;
    Module1::Page page;
    if (!quiet.ask(m_fetchBase + QString::number(id), why, page))
        return -1;
    if (FetchVerdict::classify(why, page) == FetchVerdict::Page)
        return 1;
    if (look) {
        if (why.gist.isEmpty())
            why.gist = Module1::pageGist(page);
        *look = AbsentPages::lookOf(why);
    }
    return 0;
}

bool HarvestRun::takeAsAbsences()
{
    const qint64 last = m_settlement.takeStrangeAsAbsent();
    if (last == m_ids.last()) {
        m_rangeDone = true;
        return true;
    }
    goOnFrom(m_ids.at(m_ids.positionOf(last) + 1));
    return true;
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
    m_host.siteMoved(m_fetchBase);
}
