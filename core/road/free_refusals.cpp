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
        r.seenBefore = seen - 1 - pace.othersRefusedLately(key);
    const qint64 others = seen - r.seenBefore - r.all;
    if (!paceRefused || r.free >= kFreeRefusals || r.free >= others + 2)
        return kFreeRefusals;
    return r.free++;
}
