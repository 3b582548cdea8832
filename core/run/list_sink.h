#pragma once

#include "run_host.h"
#include "run_sink.h"

class ResultModel;

// The rows of the profiles kept, appended to the result list and filled cell by cell as the
// run reads them; the host is told of each row and of the count after every profile read.
class ListSink : public RunSink
{
public:
    ListSink(ResultModel &list, RunEvents &events) : m_list(list), m_events(events) {}

    // Rows are numbered after rowsBefore rows kept elsewhere, and each one leaves the list
    // once it has been handed on: a run of millions of rows in constant memory.
    void streamRows(qint64 rowsBefore);

    void begin(const IdSequence &ids) override;
    void settled(const SettledId &id) override;
    void failedWhile(const SettledId &id) override;

private:
    void setLastCell(int column, const QString &text);
    void handOn(int row);

    ResultModel &m_list;
    RunEvents &m_events;
    bool m_streaming = false;
    qint64 m_rowsBefore = 0; // rows numbered before the list's first
    int m_halfRow = -1;      // a row being filled, handed on as it is when a failure leaves it so
};
