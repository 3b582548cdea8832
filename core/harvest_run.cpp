#include "harvest_run.h"
#include "fetch_verdict.h"
#include "journal.h"
#include "profile_page.h"
#include "result_model.h"

#include "pageutil.h"

#include <optional>

HarvestRun::HarvestRun(RunHost &host, ResultModel &list, const QString &fetchBaseUrl,
                       Journal *journal, const RunSettings &settings)
    : m_host(host), m_list(list), m_fetchBase(fetchBaseUrl), m_journal(journal), m_settings(settings)
{
}

const RunSummary &HarvestRun::summary() const { return m_summary; }

void HarvestRun::carryOver(const RunSummary &earlier)
{
    m_summary = earlier;
}

void HarvestRun::streamRows(qint64 rowsBefore)
{
    m_streaming = true;
    m_rowsBefore = rowsBefore;
}

bool HarvestRun::keepWaiting() const { return m_host.running() && !m_host.closing(); }

qint64 HarvestRun::runMs() const { return (m_clock.nsecsElapsed() + 999999) / 1000000; }

bool HarvestRun::paceAnswered(const Module1::FetchOutcome &outcome, qint64 startedMs, qint64 nowMs)
{
    const double before = m_pace.requestsPerSecond();
    const bool refused = m_pace.answered(outcome, startedMs, nowMs, m_settings.retries.maxRetryAfterMs);
    if (m_pace.requestsPerSecond() != before)
        m_host.sitePace(m_pace.requestsPerSecond());
    return refused;
}

bool HarvestRun::waitForPace()
{
    const qint64 at = qMax(m_lastStartMs + m_pace.spacingMs(), m_pace.openAtMs());
    const qint64 now = runMs();
    if (at > now && !Module1::waitMs(int(at - now), [this] { return keepWaiting(); }))
        return false;
    m_lastStartMs = runMs();
    m_pace.started(m_lastStartMs);
    return true;
}

// A row is complete (or as complete as a failure left it): journaled, and handed on.
void HarvestRun::keep(int row)
{
    if (m_journal)
        m_journal->rowKept(m_list, row);
    m_host.rowKept(m_list, row);
    if (m_streaming) {
        m_rowsBefore += m_list.rowCount();
        m_list.clear();
    }
}

void HarvestRun::setLastCell(int column, const QString &text)
{
    // The count is read afresh for every cell, so a list cleared meanwhile does no harm.
    m_list.setCell(m_list.rowCount() - 1, column, text);
}

// Without a pause the next request goes out as soon as the current answer is in, and travels
// while that page is read; the requests still go one after another, in order.
bool HarvestRun::mayGoAhead() const
{
    return m_host.pauseMs() <= 0 && m_host.running() && !m_pace.limited() && m_pace.openAtMs() <= runMs();
}

void HarvestRun::goAhead(std::optional<Module1::PendingFetch> &ahead, const QString &url)
{
    m_lastStartMs = runMs();
    m_pace.started(m_lastStartMs);
    ahead.emplace(url, m_settings.fetch);
}

Fetched HarvestRun::fetchWithRetries(const QString &url, Module1::Page &page, Module1::FetchOutcome &outcome,
                                     std::optional<Module1::PendingFetch> &ahead, const QString &nextUrl)
{
    // Only an answer that is surely a page or no profile, and that cannot change the pace,
    // sends the next request before the page is read; any other waits for the verdict.
    const auto answered = [&](const Module1::FetchOutcome &in) {
        const bool settles = in.retryAfterMs < 0 && (in.httpStatus < 400 || in.httpStatus == 404);
        if (settles && !nextUrl.isEmpty() && !m_pace.holding() && mayGoAhead())
            goAhead(ahead, nextUrl);
    };
    const RetryPolicy &policy = m_settings.retries;
    int freeRefusals = 0;
    for (int attempt = 0;;) {
        std::optional<Module1::PendingFetch> current;
        current.swap(ahead);
        if (!current) {
            if (!waitForPace())
                return Fetched::Interrupted;
            current.emplace(url, m_settings.fetch);
        }
        const qint64 startedMs = m_lastStartMs;
        outcome = current->finish(page, ProfilePage::nameMarkBytes(), answered);
        // A refusal the pace caused is tried again at the new pace, not counted as an attempt.
        if (paceAnswered(outcome, startedMs, runMs()) && freeRefusals++ < kFreeRefusals)
            continue;
        switch (FetchVerdict::classify(outcome, page)) {
        case FetchVerdict::Page:
            return Fetched::Page;
        case FetchVerdict::Absent:
            return Fetched::Absent;
        case FetchVerdict::Cancelled:
            return Fetched::Interrupted;
        case FetchVerdict::GiveUp:
            return Fetched::GivenUp;
        case FetchVerdict::Transient:
            break;
        }
        if (attempt >= policy.delaysMs.size())
            return Fetched::GivenUp;
        const int delay = outcome.retryAfterMs >= 0
            ? int(qMin<qint64>(outcome.retryAfterMs, policy.maxRetryAfterMs))
            : policy.delaysMs[attempt];
        ++attempt;
        // Stop or closing ends the wait at once; what is left of the ID is not tried.
        if (!Module1::waitMs(delay, [this] { return keepWaiting(); }))
            return Fetched::Interrupted;
    }
}

void HarvestRun::complete()
{
    m_host.summary(m_summary);
    if (m_journal)
        m_journal->endRun(m_first, m_last, m_lastFinished, m_summary);
    m_host.completed();
}

void HarvestRun::walk()
{
    Module1::FetchOutcome why;
    Module1::Page page; // its storage serves every page of the run
    std::optional<Module1::PendingFetch> ahead; // the next ID's page, on its way
    for (qint64 at = 0; at < m_ids.size(); ++at) {
        const qint64 id = m_at = m_ids.at(at);
        const QString next = id < m_last ? m_fetchBase + QString::number(m_ids.at(at + 1)) : QString();
        const Fetched fetched = fetchWithRetries(m_fetchBase + QString::number(id), page, why, ahead, next);
        if (m_host.closing())
            break;
        if (fetched == Fetched::Interrupted) {
            m_host.summary(m_summary);
            break;
        }
        const int pause = m_host.pauseMs();
        if (!ahead && !next.isEmpty() && fetched != Fetched::GivenUp && mayGoAhead())
            goAhead(ahead, next);
        const Settled settled = settle(id, fetched, page, why);
        if (settled == Settled::Ended)
            break;
        if (settled == Settled::SiteSilent) {
            const qint64 from = m_streak.front().first;
            const Silence silence = waitForSite();
            if (silence == Silence::Answers) {
                at = m_ids.positionOf(from) - 1;
                continue;
            }
            if (silence == Silence::Over)
                giveUpOnSite();
            else if (!m_host.closing())
                m_host.summary(m_summary);
            break;
        }
        if (m_host.stopEndsPause())
            Module1::waitMs(pause, [this] { return m_host.running(); });
        else
            Module1::pauseMs(pause);
        if (m_host.closing())
            break;
        if (!m_host.running()) {
            m_host.summary(m_summary);
            break;
        }
        if (id == m_last) {
            complete();
            return;
        }
    }
    endRunHere();
}

// The run ends before its range does: the journal keeps how far it got.
void HarvestRun::endRunHere()
{
    if (m_journal)
        m_journal->endRun(m_first, m_last, m_lastFinished, m_summary);
}

void HarvestRun::execute(qint32 startID, qint32 endID)
{
    // IDs are walked in 64 bits: a range may end at the largest 32-bit ID, and a span
    // wider than 2^31 still shows its true numbers.
    if (endID < startID) {
        m_at = startID;
        m_host.reversedRange();
        return;
    }
    execute(IdSequence(startID, endID));
}

void HarvestRun::execute(const IdSequence &ids)
{
    m_ids = ids;
    if (m_ids.size() == 0)
        return;
    m_first = m_at = m_ids.first();
    m_last = m_ids.last();
    m_lastFinished = m_first - 1;
    m_streak.clear();
    m_siteAnswered = false;
    m_halfRow = -1;
    m_clock.start();
    m_pace = SitePace();
    m_lastStartMs = 0;
    m_freeRefusals.clear();
    try {
        const int parallel = qBound(1, m_host.parallel(), kMostInFlight);
        if (parallel > 1)
            walkInParallel(parallel);
        else
            walk();
    } catch (const Module1::Failure &failure) {
        if (m_halfRow >= 0 && m_halfRow < m_list.rowCount())
            keep(m_halfRow);
        if (m_journal)
            m_journal->endRun(m_first, m_last, m_lastFinished, m_summary);
        m_host.failed(m_at, failure.message(), failure.code());
    }
}
