#include "run_tally.h"

#include <algorithm>

namespace {
constexpr int kLooksCounted = 16;
} // namespace

void RunTally::settled(const SettledId &id)
{
    ++m_summary.visited;
    switch (id.kind) {
    case SettledId::Kept:
        ++m_summary.kept;
        break;
    case SettledId::OutOfRange:
        ++m_summary.outOfRange;
        break;
    case SettledId::NoProfile:
        ++m_summary.absent;
        m_summary.unconfirmed += id.unconfirmed;
        if (id.why)
            countGist(id.why->gist);
        break;
    case SettledId::GivenUp:
        ++m_summary.failed;
        if (m_summary.failedIds.size() < RunSummary::kIdsNamed)
            m_summary.failedIds << id.id;
        break;
    }
}

// A run that found no profile at all tells what its pages said of themselves most often.
void RunTally::countGist(const QString &gist)
{
    const QString key = AbsentPages::masked(gist);
    auto seen = std::find_if(m_seen.begin(), m_seen.end(), [&](const Seen &s) { return s.key == key; });
    if (seen != m_seen.end())
        ++seen->count;
    else if (m_seen.size() < kLooksCounted)
        m_seen.append({key, gist, 1});
    const Seen *best = nullptr;
    for (const Seen &s : m_seen) {
        if (!best || s.count > best->count)
            best = &s;
    }
    m_summary.commonGist = best ? best->gist : QString();
    m_summary.commonGistCount = best ? best->count : 0;
}

void RunTally::ended(RunEnd how, qint64)
{
    if (how != RunEnd::Quiet)
        m_events.summary(m_summary);
}
