#include "request_schedule.h"

RequestSchedule::RequestSchedule(qint64 first, qint64 last, qint64 window)
    : m_nextNew(first), m_last(last), m_window(qMax<qint64>(1, window))
{
}

void RequestSchedule::retryAt(qint64 id, int attempt, qint64 atMs) { m_retries.push_back({id, attempt, atMs}); }

bool RequestSchedule::newIdAllowed(qint64 oldestUnfinished) const
{
    return m_nextNew <= m_last && m_nextNew < oldestUnfinished + m_window;
}

std::optional<RequestSchedule::Next> RequestSchedule::take(qint64 nowMs, qint64 oldestUnfinished)
{
    // The lowest due retry first: it holds back every row after it.
    auto due = m_retries.end();
    for (auto it = m_retries.begin(); it != m_retries.end(); ++it) {
        if (it->atMs <= nowMs && (due == m_retries.end() || it->id < due->id))
            due = it;
    }
    if (due != m_retries.end()) {
        const Next next{due->id, due->attempt};
        m_retries.erase(due);
        return next;
    }
    if (newIdAllowed(oldestUnfinished))
        return Next{m_nextNew++, 0};
    return std::nullopt;
}

qint64 RequestSchedule::dueMs(qint64 oldestUnfinished) const
{
    qint64 due = -1;
    if (newIdAllowed(oldestUnfinished))
        due = 0;
    for (const Retry &r : m_retries)
        due = due < 0 ? r.atMs : qMin(due, r.atMs);
    return due < 0 ? -1 : qMax(due, m_notBefore);
}

void RequestSchedule::started(qint64 nowMs, qint64 spacingMs) { m_notBefore = nowMs + qMax<qint64>(0, spacingMs); }

bool RequestSchedule::waitsFor(qint64 oldestUnfinished) const
{
    return m_retries.empty() && m_nextNew <= m_last && !newIdAllowed(oldestUnfinished);
}
