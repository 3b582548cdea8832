#include "harvest_run.h"
#include "fetch_verdict.h"
#include "profile_page.h"

#include <limits>

// The site has stopped answering (a router, a deploy): every request is held back, and the
// first ID of the streak is asked for again after a wait that doubles each time, until the
// site answers or the patience is spent. Stop and closing end the wait at once.
HarvestRun::Silence HarvestRun::waitForSite()
{
    const RetryPolicy &policy = m_settings.retries;
    const qint64 resumeAt = m_streak.front().first;
    const QString url = m_fetchBase + QString::number(resumeAt);
    const qint64 began = runMs();
    qint64 wait = policy.firstSilentWaitMs;
    for (bool begins = true;; begins = false) {
        const qint64 spent = runMs() - began;
        if (spent >= policy.patienceMs)
            return Silence::Over;
        const qint64 tryAt = runMs() + qMin(wait, policy.patienceMs - spent);
        // Told every second, so that a status line counts down to the next try.
        for (qint64 left = tryAt - runMs(); left > 0; left = tryAt - runMs()) {
            m_host.siteSilent(resumeAt, left, begins);
            begins = false;
            if (!Module1::waitMs(int(qMin<qint64>(left, 1000)), [this] { return keepWaiting(); }))
                return Silence::Stopped;
        }
        Module1::PendingFetch ask(url, m_settings.fetch);
        Module1::waitMs(std::numeric_limits<int>::max(), [&] { return keepWaiting() && !ask.ready(); });
        if (!ask.ready())
            return Silence::Stopped;
        Module1::Page page;
        const Module1::FetchOutcome outcome = ask.finish(page, ProfilePage::nameMarkBytes());
        const FetchVerdict::Kind verdict = FetchVerdict::classify(outcome, page);
        if (verdict == FetchVerdict::Page || verdict == FetchVerdict::Absent) {
            // The streak's IDs were never lost, only not read: they are fetched again.
            m_streak.clear();
            m_pace = SitePace();
            m_host.siteBack(resumeAt);
            return Silence::Answers;
        }
        wait = qMin(wait * 2, policy.longestSilentWaitMs);
    }
}
