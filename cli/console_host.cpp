#include "console_host.h"
#include "fetch_verdict.h"
#include "grade.h"

#include "console_io.h"

namespace {
QString duration(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1m %2s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1h %2m").arg(seconds / 3600).arg(seconds / 60 % 60);
}
} // namespace

void ConsoleHost::catchSignals() { catchInterrupts(); }

bool ConsoleHost::interrupted() { return interruptRequested(); }

ConsoleHost::ConsoleHost(const CliOptions &options, const RowFormat &format, bool streamRows)
    : m_options(options), m_format(format), m_stream(streamRows),
      m_terminal(isTerminal(stderr))
{
    if (m_stream) {
        passBytesAsTheyAre(stdout);
        m_out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    m_clock.start();
    // The tick redraws the progress line, and wakes the run's waits to see a Ctrl-C.
    m_tick.setInterval(100);
    QObject::connect(&m_tick, &QTimer::timeout, [this] { drawProgress(false); });
    m_tick.start();
}

bool ConsoleHost::running() const { return !interrupted() && !m_stopped; }

bool ConsoleHost::gradeInRange(const QString &grade)
{
    const int index = Grade::indexOf(grade);
    return m_options.minGrade <= index && index <= m_options.maxGrade;
}

void ConsoleHost::progress(qint64, qint64 position, qint64 count)
{
    m_done = position + 1;
    m_total = count;
    m_pace.record(m_done, m_total);
}

void ConsoleHost::rowKept(const ResultModel &list, int row)
{
    ++m_kept;
    if (!m_stream)
        return;
    if (!m_streamStarted) {
        m_out.write(m_format.begin());
        m_streamStarted = true;
    }
    m_out.write(m_format.row(list, row));
}

void ConsoleHost::givenUp(qint64, const Module1::FetchOutcome &) { ++m_givenUp; }

void ConsoleHost::gaveUpOnSite(int streak, const Module1::FetchOutcome &why, qint64 resumeAt)
{
    m_silentMs = -1;
    if (why.transport == Module1::Transport::Certificate) {
        m_notes << QStringLiteral("%1: %2: stopped. Continue from ID %3 later.")
                       .arg(FetchVerdict::englishReason(why), why.detail)
                       .arg(resumeAt);
        return;
    }
    m_notes << QStringLiteral("%1 IDs in a row failed (%2): stopped. Continue from ID %3 later.")
                   .arg(streak)
                   .arg(FetchVerdict::englishReason(why))
                   .arg(resumeAt);
}

void ConsoleHost::gaveUpOnPages(qint64 resumeAt, const QString &gist)
{
    m_silentMs = -1;
    m_blocked = true;
    m_notes << QStringLiteral("The site kept serving pages that are not profiles ('%1'): stopped. "
                              "Continue from ID %2 later.")
                   .arg(gist)
                   .arg(resumeAt);
}

void ConsoleHost::columnLost(int column, int profiles)
{
    say(QStringLiteral("the page layout may have changed: %1 not found in the last %2 profiles")
            .arg(Column::english(column))
            .arg(profiles));
}

void ConsoleHost::siteMoved(const QString &newBase)
{
    say(QStringLiteral("the site moved to %1; following it").arg(newBase));
}

void ConsoleHost::summary(const RunSummary &s)
{
    m_blocked = m_blocked || s.failsClosed();
    m_summary = QStringLiteral("Visited %1 IDs: kept %2 rows, %3 outside the grade range, %4 without a profile, "
                               "%5 failed.")
                    .arg(s.visited).arg(s.kept).arg(s.outOfRange).arg(s.absent).arg(s.failed);
    if (s.noProfile())
        m_summary += u'\n'
            + (s.commonGistCount == s.absent
                   ? QStringLiteral("No profile found: all %1 pages titled '%2'.").arg(s.absent).arg(s.commonGist)
                   : QStringLiteral("No profile found: %1 of %2 pages titled '%3'.")
                         .arg(s.commonGistCount).arg(s.absent).arg(s.commonGist));
}

void ConsoleHost::failed(qint64 id, const QString &message, int code)
{
    m_failure = QStringLiteral("error at ID %1: %2 (code %3)").arg(id).arg(message).arg(code);
}

void ConsoleHost::writeErr(const QString &text) { writeText(stderr, text); }

void ConsoleHost::say(const QString &text)
{
    writeErr(m_lineShown ? u'\r' + text.leftJustified(79) + u'\n' : text + u'\n');
    m_lineShown = false;
}

// Said when the wait begins and at every try after it; the progress line counts down between.
void ConsoleHost::siteSilent(qint64 resumeAt, qint64 msToTry, bool waitBegins)
{
    m_waitReason = QStringLiteral("the site does not answer");
    sayWait(waitBegins ? QStringLiteral("The site does not answer; waiting for it")
                       : QStringLiteral("Still no answer from the site"),
            resumeAt, msToTry, waitBegins);
}

void ConsoleHost::pagesStrange(qint64 resumeAt, qint64 msToTry, bool waitBegins, const QString &gist)
{
    m_waitReason = QStringLiteral("the site serves no profiles");
    sayWait(waitBegins ? QStringLiteral("The site serves pages that are not profiles ('%1'); waiting for it").arg(gist)
                       : QStringLiteral("Still no profiles from the site ('%1')").arg(gist),
            resumeAt, msToTry, waitBegins);
}

void ConsoleHost::sayWait(const QString &what, qint64 resumeAt, qint64 msToTry, bool waitBegins)
{
    const bool newTry = waitBegins || msToTry > m_silentMs;
    m_silentMs = msToTry;
    if (!newTry)
        return;
    say(QStringLiteral("%1: next try of ID %2 in %3.").arg(what).arg(resumeAt).arg(duration((msToTry + 999) / 1000)));
}

void ConsoleHost::siteBack(qint64 resumeAt)
{
    m_silentMs = -1;
    say(QStringLiteral("The site answers again; going on from ID %1.").arg(resumeAt));
}

void ConsoleHost::drawProgress(bool final)
{
    if (m_options.quiet || m_total == 0)
        return;
    const qint64 ms = m_clock.elapsed();
    if (!final && !m_terminal && m_lastDraw >= 0 && ms - m_lastDraw < 10000)
        return;
    if (!final && !m_terminal && m_lastDraw < 0 && ms < 10000)
        return;
    m_lastDraw = ms;
    // The recent pace, pauses and retries included; the whole run's until there is one.
    const double rate = m_pace.idsPerSecond() > 0 ? m_pace.idsPerSecond()
                                                  : ms > 0 ? double(m_done) * 1000.0 / double(ms) : 0.0;
    const QString left = rate > 0 ? duration(qint64(double(m_total - m_done) / rate)) : QStringLiteral("?");
    const QString line = m_silentMs >= 0
        ? QStringLiteral("%1/%2 IDs, %3 rows, %4 failed, %5: next try in %6")
              .arg(m_done).arg(m_total).arg(m_kept).arg(m_givenUp)
              .arg(m_waitReason, duration((m_silentMs + 999) / 1000))
        : QStringLiteral("%1/%2 IDs (%3%), %4 rows, %5 failed, %6 IDs/s%7, %8 left")
                             .arg(m_done).arg(m_total)
                             .arg(100.0 * double(m_done) / double(m_total), 0, 'f', 1)
                             .arg(m_kept).arg(m_givenUp)
                             .arg(rate, 0, 'f', 1)
                             .arg(m_sitePace > 0 || m_keptPace.limited() ? QStringLiteral(", held to the site's limit") : QString())
                             .arg(left);
    if (m_terminal) {
        writeErr(u'\r' + line.leftJustified(79) + (final ? QStringLiteral("\n") : QString()));
        m_lineShown = !final;
    } else if (!final) {
        writeErr(line + u'\n');
    }
}

void ConsoleHost::writing(const QString &file)
{
    if (m_options.quiet)
        return;
    const QString line = QStringLiteral("writing %1").arg(file);
    if (!m_terminal)
        return writeErr(line + u'\n');
    writeErr(u'\r' + line.leftJustified(79));
    m_lineShown = true;
}

void ConsoleHost::finish(const RunSummary &counts)
{
    m_tick.stop();
    if (m_stream && m_streamStarted)
        m_out.write(m_format.end());
    if (m_lineShown)
        drawProgress(true);
    QString text;
    for (const QString &note : m_notes)
        text += note + u'\n';
    if (!m_failure.isEmpty())
        text += m_failure + u'\n';
    if (!m_summary.isEmpty())
        text += m_summary + u'\n';
    if (m_keptPace.limited())
        text += QStringLiteral("The run started at the pace kept for the site: about %1 requests a second.\n")
                    .arg(m_keptPace.rate, 0, 'f', 1);
    else if (m_keptPace.neverRefused())
        text += QStringLiteral("The run started with %1 requests in flight at once: the site never refused them before.\n")
                    .arg(m_keptPace.inFlight);
    if (m_sitePace > 0)
        text += QStringLiteral("The site refused requests beyond about %1 a second; the run held to that pace.\n")
                    .arg(m_sitePace, 0, 'f', 1);
    QList<qint64> ids = counts.failedIds;
    qint64 count = m_givenUp;
    if (m_failedFile)
        ids = m_failedFile->first(RunSummary::kIdsNamed, &count);
    m_anyFailed = count > 0;
    if (count > 0) {
        QStringList named;
        for (qint64 id : ids)
            named << QString::number(id);
        text += QStringLiteral("Failed IDs: ") + named.join(QStringLiteral(", "));
        if (count > ids.size())
            text += m_failedFile ? QStringLiteral(" and %1 more, all in %2").arg(count - ids.size()).arg(m_failedFile->path())
                                 : QStringLiteral(" and %1 more").arg(count - ids.size());
        text += u'\n';
    }
    if (interrupted())
        text += QStringLiteral("Interrupted.\n");
    writeErr(text);
}

void ConsoleHost::historyTrouble(HistoryWriter::Trouble trouble, const QString &file, const QString &detail)
{
    switch (trouble) {
    case HistoryWriter::Trouble::SetAside:
        say(QStringLiteral("the history %1 was damaged; it was moved to %2 and a new one started").arg(file, detail));
        break;
    case HistoryWriter::Trouble::Busy:
        say(QStringLiteral("the history %1 is held by another program (%2); its records wait and are tried again").arg(file, detail));
        break;
    case HistoryWriter::Trouble::CannotOpen:
    case HistoryWriter::Trouble::CannotWrite:
        say(QStringLiteral("cannot record the history in %1: %2; the harvest goes on without it").arg(file, detail));
        break;
    }
}
