#pragma once

#include "failed_ids.h"
#include "harvest.h"
#include "pace.h"
#include "options.h"
#include "row_format.h"
#include "run_summary.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

// The command line's side of a run: Ctrl-C and SIGTERM as the stop flag, rows streamed to
// standard output when there is no output file, and a progress line on standard error.
class ConsoleHost : public RunHost, public HarvestEvents
{
public:
    ConsoleHost(const CliOptions &options, const RowFormat &format, bool streamRows);

    // The first Ctrl-C or SIGTERM asks the run to stop; a second one ends the program.
    static void catchSignals();
    static bool interrupted();
    // The run stops as after a Ctrl-C, without counting as interrupted.
    void stop() { m_stopped = true; }

    bool running() const override;
    bool closing() const override { return false; }
    bool stopEndsPause() const override { return true; }
    int parallel() const override { return m_options.parallel; }
    qint32 pauseMs() override { return m_options.pauseMs; }
    bool gradeInRange(const QString &grade) override;
    void progress(qint64 id, qint64 position, qint64 count) override;
    void rowKept(const ResultModel &list, int row) override;
    void givenUp(qint64 id, const Module1::FetchOutcome &why) override;
    void gaveUpOnSite(int streak, const Module1::FetchOutcome &why, qint64 resumeAt) override;
    void summary(const RunSummary &summary) override;
    void failed(qint64 id, const QString &message, int code) override;
    void sitePace(double requestsPerSecond) override { m_sitePace = requestsPerSecond; }
    void startsAtKeptPace(const KeptPace &pace) override { m_keptPace = pace; }
    void siteSilent(qint64 resumeAt, qint64 msToTry, bool waitBegins) override;
    void siteBack(qint64 resumeAt) override;
    void pagesStrange(qint64 resumeAt, qint64 msToTry, bool waitBegins, const QString &gist) override;
    void gaveUpOnPages(qint64 resumeAt, const QString &gist) override;
    void columnLost(int column, int profiles) override;
    void siteMoved(const QString &newBase) override;
    void completed() override { m_completed = true; }

    void historyTrouble(HistoryWriter::Trouble trouble, const QString &file, const QString &detail) override;
    // The IDs given up are kept in this list: the summary names those of the whole harvest.
    void keepFailedIn(FailedIds *failed) { m_failedFile = failed; }
    // The run has ended and FILE is being written from its journal: the progress line says so.
    void writing(const QString &file);
    // Ends the streamed rows and the progress line; prints the summary and the given-up IDs
    // (those the run's counts name, or the whole harvest's list).
    void finish(const RunSummary &counts);
    bool completedRange() const { return m_completed; }
    bool anyGivenUp() const { return m_anyFailed; }
    bool runFailed() const { return !m_failure.isEmpty(); }
    // The site kept answering with pages that are no profiles, and the run stopped; or the
    // run read no profile, only pages that nothing told from a block.
    bool blocked() const { return m_blocked; }

private:
    void drawProgress(bool final);
    void writeErr(const QString &text);
    // A line of its own on standard error, clear of the progress line.
    void say(const QString &text);
    void sayWait(const QString &what, qint64 resumeAt, qint64 msToTry, bool waitBegins);

    const CliOptions &m_options;
    const RowFormat &m_format;
    bool m_stream;
    bool m_streamStarted = false;
    QFile m_out;
    bool m_terminal;
    QTimer m_tick;
    QElapsedTimer m_clock;
    Pace m_pace;
    qint64 m_lastDraw = -1;
    qint64 m_done = 0, m_total = 0, m_kept = 0;
    bool m_lineShown = false;
    bool m_completed = false;
    bool m_stopped = false;
    qint64 m_givenUp = 0; // in this run
    QStringList m_notes;
    QString m_summary;
    QString m_failure;
    FailedIds *m_failedFile = nullptr;
    bool m_anyFailed = false; // in the whole harvest
    bool m_blocked = false;
    qint64 m_silentMs = -1; // while the site does not answer, the time to the next try
    QString m_waitReason;   // what the run waits for the site to end
    double m_sitePace = 0; // requests a second the site holds the run to; 0 while it has not refused
    KeptPace m_keptPace;   // the pace an earlier harvest kept, which the run started at
};
