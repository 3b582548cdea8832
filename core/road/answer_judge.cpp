#include "answer_judge.h"

#include "fetch_verdict.h"

Judgement judgeAnswer(const Module1::FetchOutcome &outcome, const Module1::Page &page, const RetryPolicy &policy,
                      int attempt, bool paceRefused, int freeRefusals, bool limited)
{
    // A refusal the pace caused is tried again at the new pace, not counted as an attempt:
    // at once once there is a rate to hold to, until then after the first retry's wait.
    if (paceRefused && freeRefusals < kFreeRefusals)
        return {Judgement::Retry, Fetched::Absent, limited ? 0 : policy.delaysMs.value(0), attempt};
    switch (FetchVerdict::classify(outcome, page)) {
    case FetchVerdict::Page:
        return {Judgement::Settle, Fetched::Page};
    case FetchVerdict::Absent:
        return {Judgement::Settle, Fetched::Absent};
    case FetchVerdict::Cancelled:
        return {Judgement::Cancelled, Fetched::Interrupted};
    case FetchVerdict::GiveUp:
        return {Judgement::Settle, Fetched::GivenUp};
    case FetchVerdict::Transient:
        break;
    }
    if (attempt >= policy.delaysMs.size())
        return {Judgement::Settle, Fetched::GivenUp};
    const qint64 delay = outcome.retryAfterMs >= 0 ? qMin<qint64>(outcome.retryAfterMs, policy.maxRetryAfterMs)
                                                   : policy.delaysMs[attempt];
    return {Judgement::Retry, Fetched::Absent, delay, attempt + 1};
}
