#include "journal_sink.h"
#include "failed_ids.h"
#include "id_sequence.h"
#include "journal.h"
#include "run_summary.h"

void JournalSink::begin(const IdSequence &ids)
{
    m_first = ids.first();
    m_last = ids.last();
    m_rowOf = -1;
}

void JournalSink::settled(const SettledId &id)
{
    if (id.kind == SettledId::Kept) {
        m_journal.rowKept(id.profile->row());
        m_rowOf = id.id;
    }
    m_journal.progress(m_first, m_last, id.id, m_counts);
}

// A row that a failure left half filled is kept as it is.
void JournalSink::failedWhile(const SettledId &id)
{
    if (id.kind == SettledId::Kept && id.profile->rowBegun() && m_rowOf != id.id)
        m_journal.rowKept(id.profile->row());
}

void JournalSink::learnt(const AbsentPages::Look &look) { m_journal.learnt(look); }

void JournalSink::paced(const KeptPace &pace) { m_journal.paced(pace); }

void JournalSink::ended(RunEnd, qint64 resumeAt) { m_journal.endRun(m_first, m_last, resumeAt - 1, m_counts); }

void FailedIdsSink::settled(const SettledId &id)
{
    if (id.kind == SettledId::GivenUp)
        m_failed.add(id.id);
}
