#include "list_sink.h"
#include "result_model.h"

void ListSink::streamRows(qint64 rowsBefore)
{
    m_streaming = true;
    m_rowsBefore = rowsBefore;
}

void ListSink::begin(const IdSequence &) { m_halfRow = -1; }

void ListSink::setLastCell(int column, const QString &text)
{
    // The count is read afresh for every cell, so a list cleared meanwhile does no harm.
    m_list.setCell(m_list.rowCount() - 1, column, text);
}

void ListSink::handOn(int row)
{
    m_events.rowKept(m_list, row);
    if (m_streaming) {
        m_rowsBefore += m_list.rowCount();
        m_list.clear();
    }
}

void ListSink::settled(const SettledId &id)
{
    if (id.kind != SettledId::Kept && id.kind != SettledId::OutOfRange)
        return;
    if (id.kind == SettledId::Kept) {
        ProfileRead &read = *id.profile;
        const QString number = QString::number(m_rowsBefore + m_list.rowCount() + 1);
        m_list.appendRow(number);
        read.setNumber(number);
        m_halfRow = m_list.rowCount() - 1;
        // Each cell is read from the page as it is set: a marker without its end leaves the
        // row as far as it got.
        for (int column = Column::Name; column < Column::kCount; ++column)
            setLastCell(column, read.rowCell(column));
        m_halfRow = -1;
        handOn(m_list.rowCount() - 1);
    }
    m_events.counted(m_rowsBefore + m_list.rowCount());
}

void ListSink::failedWhile(const SettledId &)
{
    if (m_halfRow >= 0 && m_halfRow < m_list.rowCount())
        handOn(m_halfRow);
    m_halfRow = -1;
}
