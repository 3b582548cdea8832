#pragma once

#include "kept_pace.h"
#include "pageutil.h"

#include <QList>

// How often and how long a run tries again after a transient fault.
struct RetryPolicy
{
    QList<int> delaysMs = {1000, 2000}; // one wait before each further attempt
    int maxRetryAfterMs = 120000;       // a Retry-After beyond this is cut to it
    int giveUpStreak = 10;              // IDs given up in a row that end the run
    // ...unless the site had answered before: then the run waits for it, asking again after
    // the first wait, then twice as long each time up to the longest, for patienceMs in all.
    qint64 patienceMs = 30 * 60000;     // 0: end at once
    qint64 firstSilentWaitMs = 10000;
    qint64 longestSilentWaitMs = 5 * 60000;
};

// What a run is given by whoever starts it, and keeps for itself: two runs in one program
// never share them.
struct RunSettings
{
    RetryPolicy retries;
    Module1::FetchLimits fetch;
    // The site's pace as an earlier harvest found it: beyond one in flight the run starts there
    // rather than opening gently.
    KeptPace pace;
};
