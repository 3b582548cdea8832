#pragma once

#include "in_order.h"
#include "run_settings.h"

// What an answer means for its ID: settled (a page, no profile, given up), asked for again
// after a wait, or the run's end (the program is closing).
struct Judgement
{
    enum Kind { Settle, Retry, Cancelled };
    Kind kind = Settle;
    Fetched fetched = Fetched::Absent; // with Settle
    qint64 delayMs = 0;                // with Retry: from the answer on
    int attempt = 0;                   // with Retry: the attempt it makes (a free one keeps the count)
};

// attempt is the one the answer came to (0 for the first request of the ID); paceRefused
// says the refusal was of the run's own pace, freeRefusals how many of those the ID has had
// before. limited: the pace holds the run to a rate, which then spaces the free retry.
Judgement judgeAnswer(const Module1::FetchOutcome &outcome, const Module1::Page &page, const RetryPolicy &policy,
                      int attempt, bool paceRefused, int freeRefusals, bool limited);

// A refusal the pace caused (the site refused other IDs around it) is tried again without
// counting as an attempt, so many times.
constexpr int kFreeRefusals = 20;
