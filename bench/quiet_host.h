#pragma once

#include "harvest_run.h"

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
