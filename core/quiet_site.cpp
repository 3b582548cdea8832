#include "quiet_site.h"

#include "fetch_verdict.h"
#include "harvest_run.h"
#include "profile_page.h"

#include <limits>

QuietSite::QuietSite(RunHost &host, const RunSettings &settings, std::function<qint64()> nowMs,
                     std::function<bool()> keepWaiting)
    : m_host(host), m_settings(settings), m_nowMs(std::move(nowMs)), m_keepWaiting(std::move(keepWaiting))
{
}

int QuietSite::ask(const QString &url)
{
    Module1::PendingFetch ask(url, m_settings.fetch);
    Module1::waitMs(std::numeric_limits<int>::max(), [&] { return m_keepWaiting() && !ask.ready(); });
    if (!ask.ready())
        return -1;
    Module1::Page page;
    const Module1::FetchOutcome outcome = ask.finish(page, ProfilePage::nameMarkBytes());
    const FetchVerdict::Kind verdict = FetchVerdict::classify(outcome, page);
    return verdict == FetchVerdict::Page || verdict == FetchVerdict::Absent ? 1 : 0;
}

QuietSite::Silence QuietSite::wait(qint64 resumeAt, const QString &url)
{
    const RetryPolicy &policy = m_settings.retries;
    const qint64 began = m_nowMs();
    qint64 wait = policy.firstSilentWaitMs;
    for (bool begins = true;; begins = false) {
        const qint64 spent = m_nowMs() - began;
        if (spent >= policy.patienceMs)
            return Silence::Over;
        const qint64 tryAt = m_nowMs() + qMin(wait, policy.patienceMs - spent);
        // Told every second, so that a status line counts down to the next try.
        for (qint64 left = tryAt - m_nowMs(); left > 0; left = tryAt - m_nowMs()) {
            m_host.siteSilent(resumeAt, left, begins);
            begins = false;
            if (!Module1::waitMs(int(qMin<qint64>(left, 1000)), m_keepWaiting))
                return Silence::Stopped;
        }
        const int answered = ask(url);
        if (answered < 0)
            return Silence::Stopped;
        if (answered > 0) {
            m_host.siteBack(resumeAt);
            return Silence::Answers;
        }
        wait = qMin(wait * 2, policy.longestSilentWaitMs);
    }
}
