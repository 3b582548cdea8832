#pragma once

#include <QtGlobal>

namespace Module1 {
struct FetchOutcome;
}

// How hard a parallel run may press the site: how many requests in flight, and from when on
// new ones may start. A 429, a 503 or any Retry-After halves the number in flight and holds
// new requests back; a stretch of good answers adds one again, up to the run's own number.
class Politeness
{
public:
    explicit Politeness(int most, int goodToGrow = 20);

    int limit() const;
    qint64 openAtMs() const; // no new request starts before this, on the run's clock

    // An answer came at nowMs. Without a Retry-After a slow-down holds for slowDownMs; a
    // Retry-After is honoured up to maxWaitMs.
    void answered(const Module1::FetchOutcome &outcome, qint64 nowMs, int slowDownMs, int maxWaitMs);

private:
    int m_most;
    int m_goodToGrow;
    int m_limit;
    int m_good = 0;
    qint64 m_openAt = 0;
};
