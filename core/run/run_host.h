#pragma once

#include <QString>

namespace Module1 {
struct FetchOutcome;
}
class ResultModel;
struct KeptPace;
struct RunSummary;

// What a run asks of whoever started it (the window, the command line), read as it goes.
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
    // The pause after each answer, read afresh every time; may raise a failure.
    virtual qint32 pauseMs() = 0;
    virtual bool gradeInRange(const QString &grade) = 0;
};

// What a run tells as it goes. Each is a no-op here: a front end overrides what it shows.
class RunEvents
{
public:
    virtual ~RunEvents() = default;
    // Before the ID settled now is handed on; it is the position-th (from 0) of the count walked.
    virtual void progress(qint64 id, qint64 position, qint64 count) { (void)id, (void)position, (void)count; }
    // After every page with a display name, kept or not: the rows of the list, those
    // streamed away included.
    virtual void counted(qint64 rows) { (void)rows; }
    // A row of list is complete (or, after a failure, as complete as it got).
    virtual void rowKept(const ResultModel &list, int row) { (void)list, (void)row; }
    virtual void reversedRange() {}
    virtual void givenUp(qint64 id, const Module1::FetchOutcome &why) { (void)id, (void)why; }
    // So many IDs in a row were given up that the run stops; resumeAt is the first of them.
    virtual void gaveUpOnSite(int streak, const Module1::FetchOutcome &why, qint64 resumeAt)
    {
        (void)streak, (void)why, (void)resumeAt;
    }
    virtual void summary(const RunSummary &summary) { (void)summary; }
    // The site stopped answering: the run holds back and asks again for resumeAt in msToTry.
    // Told when the wait begins (waitBegins) and every second of it after that.
    virtual void siteSilent(qint64 resumeAt, qint64 msToTry, bool waitBegins)
    {
        (void)resumeAt, (void)msToTry, (void)waitBegins;
    }
    // The site answers again; the run goes on from resumeAt, which is fetched anew.
    virtual void siteBack(qint64 resumeAt) { (void)resumeAt; }
    // The site answers with pages that are neither a profile nor its "no such profile" (a
    // verification page, a login wall); gist is what they say. The run holds back as for a
    // silent site, told when the wait begins and every second of it.
    virtual void pagesStrange(qint64 resumeAt, qint64 msToTry, bool waitBegins, const QString &gist)
    {
        (void)resumeAt, (void)msToTry, (void)waitBegins, (void)gist;
    }
    // ...and kept doing so until the patience ran out: the run stops, to go on from resumeAt.
    virtual void gaveUpOnPages(qint64 resumeAt, const QString &gist) { (void)resumeAt, (void)gist; }
    // The latest profiles all lacked the marker of column, which earlier ones had.
    virtual void columnLost(int column, int profiles) { (void)column, (void)profiles; }
    // A profile answered with a permanent redirect: the run fetches from newBase from now on.
    virtual void siteMoved(const QString &newBase) { (void)newBase; }
    // The site refused requests, and the run now holds to about so many a second.
    virtual void sitePace(double requestsPerSecond) { (void)requestsPerSecond; }
    // The run starts at the pace an earlier harvest kept for the site.
    virtual void startsAtKeptPace(const KeptPace &pace) { (void)pace; }
    // A failure ended the run while it was at id.
    virtual void failed(qint64 id, const QString &message, int code) { (void)id, (void)message, (void)code; }
    // The range is exhausted (the summary is out).
    virtual void completed() {}
    // The run gives up on the site and stops as the Stop action would.
    virtual void stopAction() {}
};
