#pragma once

#include <QtGlobal>

#include <optional>
#include <vector>

// Which request of a run goes next, and when: a retry that is due before any new
// ID, new IDs in ascending order but never further than the window beyond the oldest ID not
// yet finished, and between two starts at least the spacing.
class RequestSchedule
{
public:
    struct Next
    {
        qint64 id;
        int attempt; // 0 for the first request of an ID
        bool beside = false; // a request beside the IDs (id is then no position)
    };

    RequestSchedule(qint64 first, qint64 last, qint64 window);

    // id is tried again (attempt counts from 1) from atMs on.
    void retryAt(qint64 id, int attempt, qint64 atMs);
    // The next request that may start at nowMs, ignoring the spacing; none when nothing is due.
    std::optional<Next> take(qint64 nowMs, qint64 oldestUnfinished);
    // When take() has something next, the spacing included; -1 for nothing until an answer comes.
    qint64 dueMs(qint64 oldestUnfinished) const;
    // A request started at nowMs; the next may start spacingMs later.
    void started(qint64 nowMs, qint64 spacingMs);
    qint64 notBeforeMs() const { return m_notBefore; }
    void holdUntil(qint64 ms) { m_notBefore = qMax(m_notBefore, ms); }
    // New IDs wait for oldestUnfinished to be finished, and no retry is waiting either.
    bool waitsFor(qint64 oldestUnfinished) const;

private:
    struct Retry
    {
        qint64 id;
        int attempt;
        qint64 atMs;
    };
    bool newIdAllowed(qint64 oldestUnfinished) const;

    qint64 m_nextNew;
    qint64 m_last;
    qint64 m_window;
    qint64 m_notBefore = 0;
    std::vector<Retry> m_retries;
};
