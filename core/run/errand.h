#pragma once

#include "absent_pages.h"
#include "quiet_site.h"
#include "side_request.h"

#include <optional>

class RunEvents;
class RunSchedule;

// What a run does beside its IDs when their answers stop making sense. Pages that are neither a
// profile nor the site's known "no such profile" are looked into: the first of them is asked
// again, then a profile the site served. Most often they are the site's own absence, new to
// the run, which the profile shows by still being served; else the site blocks the run, which
// waits as for a site gone quiet, probing it after waits that grow. Every request it makes is
// the request beside the IDs on the run's one road; the run's loop turns it and hands it the
// answers, and takes its outcome once it has one.
class Errand
{
public:
    enum class Outcome {
        Going,         // not done yet
        GoOn,          // the run goes on from from(), fetched anew
        Absences,      // the pages held are the site's "no such profile"
        GiveUpOnSite,  // the site stayed silent beyond the patience
        GiveUpOnPages, // ...or kept serving pages that are no profiles
        Stopped,       // the run was stopped meanwhile
    };

    Errand(RunSchedule &road, RunEvents &events, const RetryPolicy &policy);

    // The site went quiet at from: it is waited for, and asked for from again.
    void waitForSite(qint64 from);
    // The pages from from on are strange: the first looked as first and says gist of itself;
    // known is a profile the site served.
    void lookInto(qint64 from, qint64 known, const AbsentPages::Look &first, const QString &gist);

    bool busy() const { return m_kind != Kind::None; }
    Outcome outcome() const { return m_outcome; }
    qint64 from() const { return m_from; }
    // The IDs go on beside it (a first look, beyond one in flight); else they wait for it.
    bool idsGoOn() const { return m_idsGoOn; }
    // True once, when the run is to drop what it has in flight: nothing is asked of a silent
    // or blocking site but the probe.
    bool takeHoldBack();
    bool droppedFlights() const { return m_dropped; } // ...and that was done in this errand
    // The wait's countdown told, and its probe asked when due.
    void turn(qint64 nowMs);
    qint64 dueMs() const; // when turn() has something to do; -1 for nothing
    void stop() { finish(Outcome::Stopped); }
    void done(); // the run has taken the outcome

private:
    enum class Kind { None, Site, Pages };
    using Answer = SideRequest::Answer;
    void finish(Outcome outcome);
    void wait();
    void probe();
    void siteProbed(const Answer &answer);
    void firstPageProbed(Answer &answer);
    void knownProbed(const Answer &answer);
    void pagesProbed(Outcome seen); // GoOn, Absences, or Going for strange still

    RunSchedule &m_road;
    RunEvents &m_events;
    const RetryPolicy &m_policy;
    Kind m_kind = Kind::None;
    Outcome m_outcome = Outcome::Going;
    qint64 m_from = 0, m_known = -1;
    AbsentPages::Look m_strangeLook, m_probedLook;
    QString m_gist;
    std::optional<QuietSite> m_wait; // between probes, once the run holds back
    bool m_idsGoOn = false, m_holdBack = false, m_dropped = false;
    // The first of the strange pages looked into last, and how many times before that.
    qint64 m_lookedFrom = -1;
    int m_lookedAgain = 0;
};
