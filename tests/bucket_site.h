#pragma once

#include "pageutil.h"
#include "run_schedule.h"

#include <algorithm>
#include <cmath>
#include <vector>

// A harvest against a site that limits its rate as nginx's limit_req does (a leaky bucket of
// a burst; a refused request leaves it as it was), its answers 100 ms late and its refusals a
// ms later, on a clock of the test's own: the run's schedule alone decides when requests go.
struct BucketRun
{
    int requests = 0, refused = 0;
    double seconds = 0, provenOver = 0; // the highest rate the pace held proven, over the site's
    KeptPace found;                     // what the run kept of the site's pace
    int mostOut = 0;                    // the most requests out at once
    std::vector<qint64> starts;         // when each request went out

    BucketRun(double rate, int burst, int most, int ids, const KeptPace &kept = {})
    {
        struct Flight { qint64 startedMs, answerMs; int id; bool taken; };
        qint64 now = 0;
        RunSchedule road({[] { return 0; }, [] { return true; }, {}, [&now] { return now; }}, most, ids - 1, 10000, kept);
        std::vector<Flight> flights;
        std::vector<bool> done(size_t(ids) + 1, false);
        double level = 0;
        qint64 lastTaken = -1, oldest = 0;
        for (int guard = 0; oldest < ids && guard < 1000000; ++guard) {
            const qint64 due = road.dueMs(oldest, int(flights.size()));
            auto first = std::min_element(flights.begin(), flights.end(), [](auto &a, auto &b) { return a.answerMs < b.answerMs; });
            if (first != flights.end() && (due < 0 || first->answerMs <= qMax(now, due))) {
                const Flight f = *first;
                flights.erase(first);
                now = f.answerMs;
                Module1::FetchOutcome o;
                o.transport = Module1::Transport::Ok;
                o.httpStatus = f.taken ? 200 : 429;
                road.answered(o, f.startedMs, f.id);
                f.taken ? void(done[size_t(f.id)] = true) : road.retryAt(f.id, 0, now);
                while (done[size_t(oldest)])
                    ++oldest;
                provenOver = qMax(provenOver, road.pace().provenPerSecond() / rate);
                continue;
            }
            now = qMax(now, due);
            const auto next = road.take(oldest, int(flights.size()));
            if (!next) {
                ++now;
                continue;
            }
            road.started();
            ++requests;
            starts.push_back(now);
            const double after = lastTaken < 0 ? 0 : qMax(0.0, level - rate * double(now - lastTaken) / 1000.0) + 1;
            const bool taken = lastTaken < 0 || after <= burst;
            if (taken) {
                level = lastTaken < 0 ? 0 : after;
                lastTaken = now;
            }
            refused += !taken;
            flights.push_back({now, now + (taken ? 100 : 1), int(next->id), taken});
            mostOut = qMax(mostOut, int(flights.size()));
        }
        seconds = double(now) / 1000.0;
        found = road.kept();
    }
};
