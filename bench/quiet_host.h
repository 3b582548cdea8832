#pragma once

#include "harvest.h"
#include "result_model.h"

#include <QElapsedTimer>

// A run's host that only sets the pace: always running, every grade kept, nothing reported.
class QuietHost : public RunHost, public HarvestEvents
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

// IDS IDs from 50147164 on, harvested from baseUrl through a QuietHost: the time taken, the rows
// kept and the IDs given up.
struct TimedHarvest
{
    double seconds;
    int rows;
    qint64 failed;
};
inline TimedHarvest timedHarvest(const QString &baseUrl, int parallel, int pauseMs, int ids, const RunSettings &settings = {})
{
    QuietHost host(parallel, pauseMs);
    ResultModel list;
    HarvestPlan plan;
    plan.site = baseUrl;
    plan.ids = IdSequence(50147164, 50147164 + ids - 1);
    plan.settings = settings;
    plan.list = &list;
    QElapsedTimer clock;
    clock.start();
    const RunSummary counts = Harvest(plan, host, host).run();
    return {double(clock.nsecsElapsed()) / 1e9, list.rowCount(), counts.failed};
}
