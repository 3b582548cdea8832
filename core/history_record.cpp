#include "settlement.h"
#include "history_writer.h"

// What a harvest read goes to the history as it is settled, kept in the list or not.
void Settlement::recordProfile(qint64 id, const std::function<QString(int)> &cell)
{
    if (!m_history)
        return;
    HistoryVisit visit;
    visit.id = id;
    visit.found = true;
    visit.name = cell(1);
    visit.userId = cell(3);
    visit.grade = cell(4);
    for (int column = 5; column <= 9; ++column)
        visit.counters[size_t(column - 5)] = cell(column);
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
