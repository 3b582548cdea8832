#pragma once

#include "harvest_run.h"
#include "result_model.h"

#include <QElapsedTimer>

// A run's host that only sets the pace: always running, every grade kept, nothing reported.
class QuietHost : public RunHost
{
public:
    QuietHost(int parallel, int pauseMs) : m_parallel(parallel), m_pause(pauseMs) {}
    bool running() const override { return true; }
    bool closing() const override { return false; }
    int parallel() const override { return m_parallel; }
    qint32 pauseMs() override { return m_pause; }
    bool gradeInRange(const QString &) override { return true; }
    void progress(qint64, qint64, qint64) override {}
    void counted(int) override {}
    void reversedRange() override {}
    void givenUp(qint64, const Module1::FetchOutcome &) override {}
    void gaveUpOnSite(int, const Module1::FetchOutcome &, qint64) override {}
    void summary(const RunSummary &) override {}
    void failed(qint64, const QString &, int) override {}
    void completed() override {}
    void stopAction() override {}

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
inline TimedHarvest timedHarvest(const QString &baseUrl, int parallel, int pauseMs, int ids)
{
    QuietHost host(parallel, pauseMs);
    ResultModel list;
    HarvestRun run(host, list, baseUrl);
    QElapsedTimer clock;
    clock.start();
    run.execute(50147164, 50147164 + ids - 1);
    return {double(clock.nsecsElapsed()) / 1e9, list.rowCount(), run.summary().failed};
}
