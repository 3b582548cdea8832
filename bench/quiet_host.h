#pragma once

#include "harvest_run.h"
#include "list_sink.h"
#include "result_model.h"
#include "run_tally.h"

#include <QElapsedTimer>

// A run's host that only sets the pace: always running, every grade kept, nothing reported.
class QuietHost : public RunHost, public RunEvents
{
public:
    QuietHost(int parallel, int pauseMs) : m_parallel(parallel), m_pause(pauseMs) {}
    bool running() const override { return true; }
    bool closing() const override { return false; }
    int parallel() const override { return m_parallel; }
    qint32 pauseMs() override { return m_pause; }
    bool gradeInRange(const QString &) override { return true; }

private:
    int m_parallel, m_pause;
};

// A run of the quiet host whose rows go to list; how many it gave up is in tally.
struct QuietRun
{
    QuietRun(QuietHost &host, ResultModel &list, const QString &baseUrl, const RunSettings &settings = {})
        : run(host, host, baseUrl, settings), tally(host), rows(list, host)
    {
        run.attach(tally);
        run.attach(rows);
    }
    HarvestRun run;
    RunTally tally;
    ListSink rows;
};

// IDS IDs from 50147164 on, harvested from baseUrl through a QuietHost: the time taken, the rows
// kept and the IDs given up.
struct TimedHarvest
{
    double seconds;
    int rows;
    qint64 failed;
};
inline TimedHarvest timedHarvest(const QString &baseUrl, int parallel, int pauseMs, int ids)
{
    QuietHost host(parallel, pauseMs);
    ResultModel list;
    QuietRun quiet(host, list, baseUrl);
    QElapsedTimer clock;
    clock.start();
    quiet.run.execute(50147164, 50147164 + ids - 1);
    return {double(clock.nsecsElapsed()) / 1e9, list.rowCount(), quiet.tally.summary().failed};
}
