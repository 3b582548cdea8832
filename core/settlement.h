#pragma once

#include "absent_pages.h"
#include "column_watch.h"
#include "id_sequence.h"
#include "in_order.h"
#include "run_settings.h"
#include "run_summary.h"

#include <array>
#include <tuple>
#include <utility>
#include <vector>

class HistoryWriter;
class Journal;
class ResultModel;
class RunHost;

// What is done with each ID once its fetch has ended, in ID order: its row, its counts, its
// place in the journal, the IDs given up, and the streak of IDs given up in a row.
class Settlement
{
public:
    Settlement(RunHost &host, ResultModel &list, Journal *journal, const RetryPolicy &policy);

    // The run goes on from an interrupted one: its counts start from those.
    void carryOver(const RunSummary &earlier) { m_summary = earlier; }
    // Rows are numbered after rowsBefore rows kept elsewhere, and each one leaves the list
    // once it has been handed on: a run of millions of rows in constant memory.
    void streamRows(qint64 rowsBefore);
    void begin(const IdSequence &ids);
    // Every profile read (kept or not) and every ID without one is recorded there too.
    void recordInto(HistoryWriter *history) { m_history = history; }
    const RunSummary &summary() const { return m_summary; }
    qint64 at() const { return m_at; } // the ID being fetched or settled
    void setAt(qint64 id) { m_at = id; }

    enum class Settled { Go, Ended, SiteSilent, Strange, Done };
    // IDs given up are held while they run in a row: Ended when too many ended the run,
    // SiteSilent when the run is to wait for the site. Pages that are neither a profile nor
    // the site's known "no such profile" are held too: Strange when they are to be looked
    // into (too many, the range's end, or an answer after them, which is then not taken).
    // Done: the last ID is settled.
    Settled settle(qint64 id, Fetched fetched, const Module1::Page &page, const Module1::FetchOutcome &why);
    qint64 streakStart() const { return m_streak.front().id; }
    // The streak's IDs were never lost, only not read: they are fetched again.
    void siteBack();
    void giveUpOnSite();
    // The pages held are what the site says for an ID without a profile: learnt, and settled
    // as such (the IDs given up among them as failed). Returns the last ID held.
    void learnAbsence();
    qint64 takeStrangeAsAbsent();
    AbsentPages::Look strangeLook() const; // of the first page held
    const AbsentPages &absentPages() const { return m_absent; }
    QString strangeGist() const; // what the first page held said of itself
    // The site kept answering with such pages: the run ends, to go on from the first of them.
    void giveUpOnPages();

    // The range is done: the summary, then the journal's end, then the host is told.
    void complete();
    // The run ends before its range does: the journal keeps how far it got.
    void endRunHere();
    // A failure ended the run: a row it left half filled is kept as it is.
    void failed();

private:
    template <typename View>
    void readProfile(View page, qint64 id);
    void commit(qint64 id, Fetched fetched, const Module1::Page &page, const Module1::FetchOutcome &why);
    void commitStreak();
    void keep(int row);
    // The profile just read, from its texts in m_read.
    void recordProfile(qint64 id);
    void recordNoProfile(qint64 id);
    void setLastCell(int column, const QString &text);

    RunHost &m_host;
    ResultModel &m_list;
    Journal *m_journal;
    HistoryWriter *m_history = nullptr;
    std::array<QString, 10> m_read; // the texts of the profile being read, by column
    const RetryPolicy &m_policy;
    const IdSequence *m_ids = nullptr;
    RunSummary m_summary;
    qint64 m_first = 0, m_last = 0;
    qint64 m_at = 0;
    qint64 m_lastFinished = 0; // the last ID finished in order
    // IDs given up in a row, with why: committed once an answer breaks the streak. Or the
    // strange pages in a row, with the IDs given up among them: looked into first.
    struct Held
    {
        qint64 id;
        Module1::FetchOutcome why;
        bool strange;
    };
    std::vector<Held> m_streak;
    int m_strange = 0, m_givenUpInRow = 0; // of the streak
    AbsentPages m_absent;
    ColumnWatch m_columns;
    Settled giveUp(qint64 id, const Module1::FetchOutcome &why);
    Settled holdStrange(qint64 id, const Module1::FetchOutcome &why);
    void clearStreak();
    void readCell(int column, const QString &text);
    bool m_siteAnswered = false; // some page or absence read in this run
    int m_halfRow = -1; // a row being filled, journaled when a failure leaves it so
    bool m_streaming = false;
    qint64 m_rowsBefore = 0; // rows numbered before the list's first
};
