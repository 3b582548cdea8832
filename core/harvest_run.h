#pragma once

#include <QString>

#include <map>
#include <memory>
#include <vector>

#include "id_sequence.h"
#include "pageutil.h"
#include "in_order.h"
#include "run_schedule.h"
#include "run_settings.h"
#include "run_summary.h"
#include "settlement.h"

class ResultModel;
class HistoryWriter;
class Journal;
class QuietSite;

// What a run needs from whoever started it (the window, the command line): its flags, its
// pause and grade filter, and where its progress and outcomes go.
class RunHost
{
public:
    virtual ~RunHost() = default;
    // The stop flag, read once per ID after the pause, and during the waits before a retry.
    virtual bool running() const = 0;
    // The program is going away: the run leaves at once, touching nothing.
    virtual bool closing() const = 0;
    // Whether a stop should also cut the pause short (the window lets it run out).
    virtual bool stopEndsPause() const { return false; }
    // Requests in flight at once, 1 to 16, read when the run starts. Beyond 1 the pause is
    // the least time between the starts of two requests.
    virtual int parallel() const { return 1; }
    // The pause after each ID, read afresh every time; may raise a failure.
    virtual qint32 pauseMs() = 0;
    virtual bool gradeInRange(const QString &grade) = 0;
    // Before the page of id is read; it is the position-th (from 0) of the count IDs walked.
    virtual void progress(qint64 id, qint64 position, qint64 count) = 0;
    // After every page with a display name, kept or not.
    virtual void counted(int rows) = 0;
    // A row of list is complete (or, after a failure, as complete as it got).
    virtual void rowKept(const ResultModel &list, int row) { Q_UNUSED(list); Q_UNUSED(row); }
    virtual void reversedRange() = 0;
    virtual void givenUp(qint64 id, const Module1::FetchOutcome &why) = 0;
    // So many IDs in a row were given up that the run stops; resumeAt is the first of them.
    virtual void gaveUpOnSite(int streak, const Module1::FetchOutcome &why, qint64 resumeAt) = 0;
    virtual void summary(const RunSummary &summary) = 0;
    // The site stopped answering: the run holds back and asks again for resumeAt in msToTry.
    // Told when the wait begins (waitBegins) and every second of it after that.
    virtual void siteSilent(qint64 resumeAt, qint64 msToTry, bool waitBegins)
    {
        Q_UNUSED(resumeAt); Q_UNUSED(msToTry); Q_UNUSED(waitBegins);
    }
    // The site answers again; the run goes on from resumeAt, which is fetched anew.
    virtual void siteBack(qint64 resumeAt) { Q_UNUSED(resumeAt); }
    // The site answers with pages that are neither a profile nor its "no such profile" (a
    // verification page, a login wall); gist is what they say. The run holds back as for a
    // silent site, told when the wait begins and every second of it.
    virtual void pagesStrange(qint64 resumeAt, qint64 msToTry, bool waitBegins, const QString &gist)
    {
        Q_UNUSED(resumeAt); Q_UNUSED(msToTry); Q_UNUSED(waitBegins); Q_UNUSED(gist);
    }
    // ...and kept doing so until the patience ran out: the run stops, to go on from resumeAt.
    virtual void gaveUpOnPages(qint64 resumeAt, const QString &gist) { Q_UNUSED(resumeAt); Q_UNUSED(gist); }
    // The latest profiles all lacked the marker of column, which earlier ones had.
    virtual void columnLost(int column, int profiles) { Q_UNUSED(column); Q_UNUSED(profiles); }
    // A profile answered with a permanent redirect: the run fetches from newBase from now on.
    virtual void siteMoved(const QString &newBase) { Q_UNUSED(newBase); }
    // The site refused requests, and the run now holds to about so many a second.
    virtual void sitePace(double requestsPerSecond) { Q_UNUSED(requestsPerSecond); }
    // A failure ended the run while it was at id.
    virtual void failed(qint64 id, const QString &message, int code) = 0;
    // The range is exhausted (the summary is out).
    virtual void completed() = 0;
    // The run gives up on the site and stops as the Stop action would.
    virtual void stopAction() = 0;
};

// One harvest of an ID range: fetch with retries, extraction, grade filter, rows, pauses,
// the stop check and the summary. Rows go to list, and to journal when there is one.
class HarvestRun
{
public:
    // Profile pages are fetchBaseUrl followed by the ID in decimal.
    HarvestRun(RunHost &host, ResultModel &list, const QString &fetchBaseUrl,
               Journal *journal = nullptr, const RunSettings &settings = RunSettings());
    ~HarvestRun();

    // The run goes on from an interrupted one: its counts start from those.
    void carryOver(const RunSummary &earlier);
    // Rows are numbered after rowsBefore rows kept elsewhere, and each one leaves the list
    // once it has been handed on: a run of millions of rows in constant memory.
    void streamRows(qint64 rowsBefore);
    // Every page read, kept or not, and every ID without a profile is recorded in history.
    void recordInto(HistoryWriter *history);

    // Walks startID to endID; returns when the run has ended.
    void execute(qint32 startID, qint32 endID);
    // Walks exactly the IDs of ids, in their ascending order.
    void execute(const IdSequence &ids);

    const RunSummary &summary() const;

    static constexpr int kMostInFlight = 16;

private:
    // One request out: which position of the IDs walked, its attempt, and when it started.
    struct Flight
    {
        qint64 at;
        int attempt;
        qint64 startedMs;
        Module1::PendingFetch fetch;
    };
    void walk();
    void collectAnswers();
    void takeAnswer(Flight &flight);
    Settlement::Settled settleInOrder();
    void recycle(Module1::Page &&page);
    bool waitForSite(); // false when the run ends there
    // The same for strange pages: what they are, and the wait while they are no profiles.
    bool lookIntoPages();
    enum class Probed { Stopped, Strange, Back, Absences };
    Probed probePages(QuietSite &quiet, qint64 from, bool again);
    int askForProfile(QuietSite &quiet, qint64 id, AbsentPages::Look *look); // 1, 0 or -1 (stopped)
    bool takeAsAbsences();
    void goOnFrom(qint64 id); // everything from id is fetched anew
    void followMove(const Module1::FetchOutcome &why, qint64 id);
    bool awaitsAnswer() const;
    void startDue();
    void startAhead(qint64 position);
    void start(const RequestSchedule::Next &next);
    void sleep();
    bool keepWaiting() const;
    bool anyAnswerIn() const;

    RunHost &m_host;
    QString m_fetchBase;
    const RunSettings m_settings;
    Settlement m_settlement;
    IdSequence m_ids{0, -1};
    std::unique_ptr<RunSchedule> m_schedule;
    std::vector<Flight> m_flights;
    InOrderCommit m_held{0};
    std::map<qint64, int> m_freeRefusals; // refusals of an ID not counted as attempts
    std::vector<Module1::Page> m_sparePages; // pages settled: their storage serves the next
    bool m_interrupted = false;       // a wait was ended from outside
    bool m_rangeDone = false;         // the last ID is settled
    bool m_settledSinceCheck = false; // one at a time: the stop is looked at after each ID
    bool m_moved = false;             // the site's permanent redirect is followed
    qint64 m_lookedFrom = -1;         // the first of the strange pages looked into last
    int m_lookedAgain = 0;            // how many times before that one was looked into
};
