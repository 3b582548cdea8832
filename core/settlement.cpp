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
    clearStreak();
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

// A cell read by its markers; a column the latest profiles all lack is said once.
void Settlement::readCell(int column, const QString &text)
{
    setLastCell(column, text);
    m_read[size_t(column)] = text;
    if (m_columns.read(column, text != Module1::missingValue()))
        m_host.columnLost(column, ColumnWatch::kLatest);
}

// The row of a fetched page, kept when its grade is in range.
template <typename View>
void Settlement::readProfile(View page, qint64 id)
{
    const QString name = ProfilePage::displayName(page);
    if (name == Module1::missingValue()) {
        ++m_summary.absent;
        recordNoProfile(id);
        return;
    }
    m_absent.profileAt(id);
    const QString grade = Grade::derive(page);
    m_read[1] = name;
    m_read[4] = grade;
    if (m_host.gradeInRange(grade)) {
        m_list.appendRow(QString::number(m_rowsBefore + m_list.rowCount() + 1));
        m_halfRow = m_list.rowCount() - 1;
        setLastCell(1, name);
        setLastCell(2, QString::number(id));
        readCell(3, ProfilePage::extractCell(page, 3));
        setLastCell(4, grade);
        for (int cell = 5; cell <= 9; ++cell)
            readCell(cell, ProfilePage::extractCell(page, cell));
        m_halfRow = -1;
        ++m_summary.kept;
        recordProfile(id);
        keep(m_list.rowCount() - 1);
    } else {
        ++m_summary.outOfRange;
        if (m_history) { // read for the history alone
            for (const int column : {3, 5, 6, 7, 8, 9})
                m_read[size_t(column)] = ProfilePage::extractCell(page, column);
            recordProfile(id);
        }
    }
    m_host.counted(int(m_rowsBefore + m_list.rowCount()));
}

Settlement::Settled Settlement::settle(qint64 id, Fetched fetched, const Module1::Page &page,
                                       const Module1::FetchOutcome &in)
{
    if (fetched == Fetched::GivenUp)
        return giveUp(id, in);
    Module1::FetchOutcome why = in;
    if (fetched == Fetched::Absent) {
        if (why.gist.isEmpty())
            why.gist = Module1::pageGist(page);
        if (!m_absent.isAbsence(AbsentPages::lookOf(why)))
            return holdStrange(id, why);
    }
    // Strange pages before this answer are looked into first; it is fetched again after.
    if (m_strange > 0)
        return Settled::Strange;
    commitStreak();
    commit(id, fetched, page, why);
    return id == m_last ? Settled::Done : Settled::Go;
}

Settlement::Settled Settlement::giveUp(qint64 id, const Module1::FetchOutcome &why)
{
    m_streak.push_back({id, why, false});
    ++m_givenUpInRow;
    // A certificate no one vouches for does not get better by asking again.
    if (why.transport == Module1::Transport::Certificate) {
        giveUpOnSite();
        return Settled::Ended;
    }
    if (m_givenUpInRow >= m_policy.giveUpStreak) {
        // A site that answered before has gone quiet: wait for it rather than end a long run.
        if (m_siteAnswered && m_policy.patienceMs > 0)
            return Settled::SiteSilent;
        giveUpOnSite();
        return Settled::Ended;
    }
    if (id != m_last)
        return Settled::Go;
    if (m_strange > 0)
        return Settled::Strange;
    commitStreak();
    return Settled::Done;
}

Settlement::Settled Settlement::holdStrange(qint64 id, const Module1::FetchOutcome &why)
{
    // IDs given up before it count as failed, as any answer after them makes them.
    if (m_strange == 0)
        commitStreak();
    m_streak.push_back({id, why, true});
    ++m_strange;
    m_givenUpInRow = 0;
    return m_strange >= m_policy.giveUpStreak || id == m_last ? Settled::Strange : Settled::Go;
}

void Settlement::commitStreak()
{
    for (const Held &held : m_streak)
        commit(held.id, Fetched::GivenUp, Module1::Page(), held.why);
    clearStreak();
}

void Settlement::clearStreak()
{
    m_streak.clear();
    m_strange = m_givenUpInRow = 0;
}

void Settlement::siteBack() { clearStreak(); }

void Settlement::learnAbsence()
{
    for (const Held &held : m_streak) {
        if (held.strange)
            m_absent.learn(AbsentPages::lookOf(held.why));
    }
}

qint64 Settlement::takeStrangeAsAbsent()
{
    learnAbsence();
    const qint64 last = m_streak.back().id;
    for (const Held &held : m_streak)
        commit(held.id, held.strange ? Fetched::Absent : Fetched::GivenUp, Module1::Page(), held.why);
    clearStreak();
    return last;
}

AbsentPages::Look Settlement::strangeLook() const
{
    for (const Held &held : m_streak) {
        if (held.strange)
            return AbsentPages::lookOf(held.why);
    }
    return {};
}

QString Settlement::strangeGist() const
{
    for (const Held &held : m_streak) {
        if (held.strange)
            return held.why.gist.isEmpty() ? QStringLiteral("HTTP %1").arg(held.why.httpStatus) : held.why.gist;
    }
    return {};
}

// Too many IDs in a row were given up: they count as failed, and the next run starts at the first.
void Settlement::giveUpOnSite()
{
    const int streak = int(m_streak.size());
    const qint64 resumeAt = m_streak.front().id;
    const Module1::FetchOutcome why = m_streak.back().why;
    commitStreak();
    m_host.gaveUpOnSite(streak, why, resumeAt);
    m_lastFinished = resumeAt - 1;
    m_host.summary(m_summary);
    m_host.stopAction();
}

// The held pages were never read as what they are: the next run fetches them again.
void Settlement::giveUpOnPages()
{
    const qint64 resumeAt = streakStart();
    const QString gist = strangeGist();
    clearStreak();
    m_lastFinished = resumeAt - 1;
    m_host.gaveUpOnPages(resumeAt, gist);
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
        if (page.isUtf8)
            readProfile(QUtf8StringView(page.utf8), id);
        else
            readProfile(QStringView(page.text), id);
    } else if (fetched == Fetched::Absent) {
        m_siteAnswered = true;
        ++m_summary.absent;
        recordNoProfile(id);
        m_absent.counted(why);
        std::tie(m_summary.commonGist, m_summary.commonGistCount) = m_absent.commonest();
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
