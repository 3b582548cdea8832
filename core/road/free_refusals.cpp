#include "free_refusals.h"
#include "answer_judge.h"
#include "site_pace.h"

#include "pageutil.h"

int FreeRefusals::of(qint64 key, const Module1::FetchOutcome &outcome, bool paceRefused, const SitePace &pace)
{
    const bool refusal = outcome.retryAfterMs < 0 && (outcome.httpStatus == 429 || outcome.httpStatus == 503);
    if (!refusal)
        return 0;
    const qint64 seen = pace.refusalsSeen();
    Refusals &r = m_refusals[key];
    if (r.all++ == 0) // the others refused just before count too
        r.since = seen - 1 - pace.othersRefusedLately(key);
    r.last = seen;
    // The most any other ID was refused around this one's refusals: an ID the pace holds up
    // is refused about as often as they are, one refused for itself far more often.
    int others = 0;
    for (const auto &[other, o] : m_refusals) {
        if (other != key && o.last > r.since)
            others = qMax(others, o.all);
    }
    if (!paceRefused || r.free >= kFreeRefusals || r.free >= qMax(kLeastFree, others))
        return kFreeRefusals;
    return r.free++;
}
