#pragma once

#include "run_sink.h"

class FailedIds;
class Journal;
struct RunSummary;

// The rows kept (as the list numbered them) and how far the run got, with its counts, into the
// journal as each ID is settled; what the site says for an ID without a profile, kept with the
// run's state.
class JournalSink : public RunSink
{
public:
    JournalSink(Journal &journal, const RunSummary &counts) : m_journal(journal), m_counts(counts) {}

    void begin(const IdSequence &ids) override;
    void settled(const SettledId &id) override;
    void failedWhile(const SettledId &id) override;
    void learnt(const AbsentPages::Look &look) override;
    void paced(const KeptPace &pace) override;
    void ended(RunEnd how, qint64 resumeAt) override;

private:
    Journal &m_journal;
    const RunSummary &m_counts;
    qint64 m_first = 0, m_last = 0;
    qint64 m_rowOf = -1; // the ID whose row was journaled last
};

// The IDs given up, into the list to try again.
class FailedIdsSink : public RunSink
{
public:
    explicit FailedIdsSink(FailedIds &failed) : m_failed(failed) {}
    void settled(const SettledId &id) override;

private:
    FailedIds &m_failed;
};
