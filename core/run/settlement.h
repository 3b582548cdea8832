#pragma once

#include "absent_pages.h"
#include "column_watch.h"
#include "id_sequence.h"
#include "in_order.h"
#include "run_settings.h"
#include "run_sink.h"
#include "run_tally.h"

#include <functional>
#include <vector>

class RunEvents;
class RunHost;

// What each answer means for the run, once its fetch has ended, in ID order: a profile kept
// or outside the grade range, no profile, or given up; IDs given up in a row, and pages that
// are neither a profile nor the site's known "no such profile", held until it is clear what
// they are. Each settled ID is handed to the sinks attached, in their order.
class Settlement
{
public:
    Settlement(RunHost &host, RunEvents &events, const RetryPolicy &policy);

    void attach(RunSink &sink) { m_sinks.push_back(&sink); }
    // The run's counts, taken before any sink sees an ID, so that every sink reads them as
    // they stand with that ID; told as the summary when the run ends as it is to be said.
    RunTally &tally() { return m_tally; }
    // Where the site's pace is read, to tell the sinks when it changes and before the run ends.
    void paceFrom(std::function<KeptPace()> pace) { m_pace = std::move(pace); }
    void paced();
    void begin(const IdSequence &ids);
    // What the site was found to say for an ID without a profile, and a profile it served,
    // before this run.
    void knowAbsence(const AbsentPages::Look &look) { m_absent.learn(look); }
    void knowProfile(qint64 id) { m_absent.profileAt(id); }
    qint64 at() const { return m_at; } // the ID being fetched or settled
    bool rangeDone() const { return m_lastFinished == m_last; } // the last ID is settled
    void setAt(qint64 id) { m_at = id; }

    // Go: on to the next. Ended: too many given up ended the run. SiteSilent: the run is to
    // wait for the site. Strange: the held pages are to be looked into now; LookFirst: so
    // they are, and this answer (not taken) is settled after. Done: the last ID is settled.
    enum class Settled { Go, Ended, SiteSilent, Strange, LookFirst, Done };
    Settled settle(qint64 id, Fetched fetched, const Module1::Page &page, const Module1::FetchOutcome &why);
    qint64 streakStart() const { return m_streak.front().id; }
    // The streak's IDs were never lost, only not read: they are fetched again.
    void siteBack();
    void giveUpOnSite();
    // The pages held are what the site says for an ID without a profile: learnt, and settled
    // as such (the IDs given up among them as failed). Returns the last ID held.
    qint64 takeStrangeAsAbsent();
    AbsentPages::Look strangeLook() const; // of the first page held
    const AbsentPages &absentPages() const { return m_absent; }
    QString strangeGist() const; // what the first page held said of itself
    // The site kept answering with such pages: the run ends, to go on from the first of them.
    void giveUpOnPages();

    // The range is done: the sinks are told, then the host.
    void complete();
    // The run ends before its range does (said: a stop; else closing); the sinks keep how far it got.
    void endRunHere(bool said);
    // A failure ended the run: a row it left half filled is kept as it is.
    void failed();

private:
    struct Held
    {
        qint64 id;
        Module1::FetchOutcome why;
        bool strange;
    };
    template <typename View>
    void readProfile(View page, const Module1::Page &whole, qint64 id);
    void commit(qint64 id, Fetched fetched, const Module1::Page &page, const Module1::FetchOutcome &why);
    void commitStreak();
    void hand(SettledId &settled);
    void watchColumns(ProfileRead &read);
    Settled giveUp(qint64 id, const Module1::FetchOutcome &why);
    Settled holdStrange(qint64 id, const Module1::FetchOutcome &why);
    void clearStreak();
    void end(RunEnd how);

    RunHost &m_host;
    RunEvents &m_events;
    RunTally m_tally;
    std::vector<RunSink *> m_sinks;
    const RetryPolicy &m_policy;
    const IdSequence *m_ids = nullptr;
    qint64 m_last = 0;
    qint64 m_at = 0;
    qint64 m_lastFinished = 0; // the last ID finished in order
    // IDs given up in a row, with why: committed once an answer breaks the streak. Or the
    // strange pages in a row, with the IDs given up among them: looked into first.
    std::vector<Held> m_streak;
    int m_strange = 0, m_givenUpInRow = 0; // of the streak
    AbsentPages m_absent;
    ColumnWatch m_columns;
    bool m_siteAnswered = false;   // some page or absence read in this run
    bool m_ended = false;
    std::function<KeptPace()> m_pace;
};
