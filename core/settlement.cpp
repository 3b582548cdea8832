#include "settlement.h"
#include "grade.h"
#include "harvest_run.h"
#include "journal.h"
#include "profile_page.h"
#include "result_model.h"

#include "pageutil.h"

Settlement::Settlement(RunHost &host, ResultModel &list, Journal *journal, const RetryPolicy &policy)
    : m_host(host), m_list(list), m_journal(journal), m_policy(policy)
{
}

void Settlement::streamRows(qint64 rowsBefore)
{
    m_streaming = true;
    m_rowsBefore = rowsBefore;
}

void Settlement::begin(const IdSequence &ids)
{
    m_ids = &ids;
    m_first = m_at = ids.first();
    m_last = ids.last();
    m_lastFinished = m_first - 1;
    m_streak.clear();
    m_siteAnswered = false;
    m_halfRow = -1;
}

// A row is complete (or as complete as a failure left it): journaled, and handed on.
void Settlement::keep(int row)
{
    if (m_journal)
        m_journal->rowKept(m_list, row);
    m_host.rowKept(m_list, row);
    if (m_streaming) {
        m_rowsBefore += m_list.rowCount();
        m_list.clear();
    }
}

void Settlement::setLastCell(int column, const QString &text)
{
    // The count is read afresh for every cell, so a list cleared meanwhile does no harm.
    m_list.setCell(m_list.rowCount() - 1, column, text);
}

// The row of a fetched page, kept when its grade is in range.
template <typename View>
void Settlement::readProfile(View page, const QString &idText)
{
    const QString name = ProfilePage::displayName(page);
    if (name == Module1::missingValue()) {
        ++m_summary.absent;
        return;
    }
    const QString grade = Grade::derive(page);
    if (m_host.gradeInRange(grade)) {
        m_list.appendRow(QString::number(m_rowsBefore + m_list.rowCount() + 1));
        m_halfRow = m_list.rowCount() - 1;
        setLastCell(1, name);
        setLastCell(2, idText);
        setLastCell(3, ProfilePage::extractCell(page, 3));
        setLastCell(4, grade);
        for (int cell = 5; cell <= 9; ++cell)
            setLastCell(cell, ProfilePage::extractCell(page, cell));
        m_halfRow = -1;
        ++m_summary.kept;
        keep(m_list.rowCount() - 1);
    } else {
        ++m_summary.outOfRange;
    }
    m_host.counted(int(m_rowsBefore + m_list.rowCount()));
}

Settlement::Settled Settlement::settle(qint64 id, Fetched fetched, const Module1::Page &page,
                                       const Module1::FetchOutcome &why)
{
    if (fetched != Fetched::GivenUp) {
        commitStreak();
        commit(id, fetched, page, why);
        return id == m_last ? Settled::Done : Settled::Go;
    }
    m_streak.emplace_back(id, why);
    if (int(m_streak.size()) >= m_policy.giveUpStreak) {
        // A site that answered before has gone quiet: wait for it rather than end a long run.
        if (m_siteAnswered && m_policy.patienceMs > 0)
            return Settled::SiteSilent;
        giveUpOnSite();
        return Settled::Ended;
    }
    if (id != m_last)
        return Settled::Go;
    commitStreak();
    return Settled::Done;
}

void Settlement::commitStreak()
{
    for (const auto &[id, why] : m_streak)
        commit(id, Fetched::GivenUp, Module1::Page(), why);
    m_streak.clear();
}

// Too many IDs in a row were given up: they count as failed, and the next run starts at the first.
void Settlement::giveUpOnSite()
{
    const int streak = int(m_streak.size());
    const qint64 resumeAt = m_streak.front().first;
    const Module1::FetchOutcome why = m_streak.back().second;
    commitStreak();
    m_host.gaveUpOnSite(streak, why, resumeAt);
    m_lastFinished = resumeAt - 1;
    m_host.summary(m_summary);
    m_host.stopAction();
}

void Settlement::commit(qint64 id, Fetched fetched, const Module1::Page &page, const Module1::FetchOutcome &why)
{
    m_at = id;
    m_host.progress(id, m_ids->positionOf(id), m_ids->size());
    ++m_summary.visited;
    if (fetched == Fetched::GivenUp) {
        ++m_summary.failed;
        if (m_summary.failedIds.size() < RunSummary::kIdsNamed)
            m_summary.failedIds << id;
        m_host.givenUp(id, why);
    } else if (fetched == Fetched::Page) {
        m_siteAnswered = true;
        const QString idText = QString::number(id);
        if (page.isUtf8)
            readProfile(QUtf8StringView(page.utf8), idText);
        else
            readProfile(QStringView(page.text), idText);
    } else if (fetched == Fetched::Absent) {
        m_siteAnswered = true;
        ++m_summary.absent;
    }
    m_lastFinished = id;
    if (m_journal)
        m_journal->progress(m_first, m_last, m_lastFinished, m_summary);
}

void Settlement::complete()
{
    m_host.summary(m_summary);
    if (m_journal)
        m_journal->endRun(m_first, m_last, m_lastFinished, m_summary);
    m_host.completed();
}

void Settlement::endRunHere()
{
    if (m_journal)
        m_journal->endRun(m_first, m_last, m_lastFinished, m_summary);
}

void Settlement::failed()
{
    if (m_halfRow >= 0 && m_halfRow < m_list.rowCount())
        keep(m_halfRow);
    endRunHere();
}
