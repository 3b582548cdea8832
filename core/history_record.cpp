#include "settlement.h"
#include "history_writer.h"

// What a harvest read goes to the history as it is settled, kept in the list or not.
void Settlement::recordProfile(qint64 id)
{
    if (!m_history)
        return;
    HistoryVisit visit;
    visit.id = id;
    visit.found = true;
    visit.name = m_read[1];
    visit.userId = m_read[3];
    visit.grade = m_read[4];
    for (int column = 5; column <= 9; ++column)
        visit.counters[size_t(column - 5)] = m_read[size_t(column)];
    m_history->record(std::move(visit));
}

void Settlement::recordNoProfile(qint64 id)
{
    if (!m_history)
        return;
    HistoryVisit visit;
    visit.id = id;
    m_history->record(std::move(visit));
}
