#include "settlement.h"
#include "grade.h"
#include "profile_page.h"
#include "run_host.h"

#include "pageutil.h"

Settlement::Settlement(RunHost &host, RunEvents &events, const RetryPolicy &policy)
    : m_host(host), m_events(events), m_tally(events), m_policy(policy)
{
}

void Settlement::begin(const IdSequence &ids)
{
    m_ids = &ids;
    m_at = ids.first();
    m_last = ids.last();
    m_lastFinished = ids.first() - 1;
    clearStreak();
    m_siteAnswered = m_ended = false;
    for (RunSink *sink : m_sinks)
        sink->begin(ids);
}

// Every sink gets the ID in turn; a failure among them leaves each with what it got so far.
void Settlement::hand(SettledId &settled)
{
    m_tally.settled(settled);
    try {
        for (RunSink *sink : m_sinks)
            sink->settled(settled);
    } catch (...) {
        for (RunSink *sink : m_sinks)
            sink->failedWhile(settled);
        throw;
    }
}

// A column the latest profiles kept all lack is said once.
void Settlement::watchColumns(ProfileRead &read)
{
    for (const Column::Id column : Column::kRead) {
        if (m_columns.read(column, read.cell(column) != Module1::missingValue()))
            m_events.columnLost(column, ColumnWatch::kLatest);
    }
}

template <typename View>
void Settlement::readProfile(View page, const Module1::Page &whole, qint64 id)
{
    SettledId settled;
    settled.id = id;
    const QString name = ProfilePage::displayName(page);
    if (name == Module1::missingValue())
        return hand(settled);
    m_absent.profileAt(id);
    const QString grade = Grade::derive(page);
    ProfileRead read(whole, id, name, grade);
    settled.profile = &read;
    settled.kind = m_host.gradeInRange(grade) ? SettledId::Kept : SettledId::OutOfRange;
    hand(settled);
    if (settled.kind == SettledId::Kept)
        watchColumns(read);
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
    // Strange pages before this answer are looked into first; it is settled after.
    if (m_strange > 0)
        return Settled::LookFirst;
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

qint64 Settlement::takeStrangeAsAbsent()
{
    for (const Held &held : m_streak) {
        const AbsentPages::Look look = AbsentPages::lookOf(held.why);
        if (held.strange && m_absent.learn(look)) {
            for (RunSink *sink : m_sinks)
                sink->learnt(look);
        }
    }
    const std::vector<Held> streak = std::move(m_streak);
    clearStreak();
    for (const Held &held : streak)
        commit(held.id, held.strange ? Fetched::Absent : Fetched::GivenUp, Module1::Page(), held.why);
    return streak.back().id;
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
    m_events.gaveUpOnSite(streak, why, resumeAt);
    m_lastFinished = resumeAt - 1;
    end(RunEnd::Stopped);
    m_events.stopAction();
}

// The held pages were never read as what they are: the next run fetches them again.
void Settlement::giveUpOnPages()
{
    const qint64 resumeAt = streakStart();
    const QString gist = strangeGist();
    clearStreak();
    m_lastFinished = resumeAt - 1;
    m_events.gaveUpOnPages(resumeAt, gist);
    end(RunEnd::Stopped);
    m_events.stopAction();
}

void Settlement::commit(qint64 id, Fetched fetched, const Module1::Page &page, const Module1::FetchOutcome &why)
{
    m_at = id;
    m_events.progress(id, m_ids->positionOf(id), m_ids->size());
    SettledId settled;
    settled.id = id;
    settled.why = &why;
    if (fetched == Fetched::GivenUp) {
        settled.kind = SettledId::GivenUp;
        hand(settled);
        m_events.givenUp(id, why);
    } else if (fetched == Fetched::Page) {
        m_siteAnswered = true;
        if (page.isUtf8)
            readProfile(QUtf8StringView(page.utf8), page, id);
        else
            readProfile(QStringView(page.text), page, id);
    } else if (fetched == Fetched::Absent) {
        m_siteAnswered = true;
        settled.unconfirmed = !m_absent.confirmed(AbsentPages::lookOf(why));
        hand(settled);
    }
    m_lastFinished = id;
}

void Settlement::end(RunEnd how)
{
    if (m_ended)
        return;
    m_ended = true;
    paced();
    m_tally.ended(how, m_lastFinished + 1);
    for (RunSink *sink : m_sinks)
        sink->ended(how, m_lastFinished + 1);
}

void Settlement::paced()
{
    if (!m_pace)
        return;
    const KeptPace pace = m_pace();
    if (!pace.known())
        return; // nothing found: what was kept before stays
    for (RunSink *sink : m_sinks)
        sink->paced(pace);
}

void Settlement::complete()
{
    end(RunEnd::Completed);
    m_events.completed();
}

void Settlement::endRunHere(bool said) { end(said ? RunEnd::Stopped : RunEnd::Quiet); }

void Settlement::failed() { end(RunEnd::Quiet); }
