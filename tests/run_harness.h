#pragma once

#include "scripted_site.h"

#include "failed_ids.h"
#include "harvest.h"
#include "history_sink.h"
#include "journal.h"
#include "result_model.h"

// Harvests of a scripted site through the assembly, with a host of the test's own and no
// window: its journal, history and failed IDs in the site's folder. What the run tells is
// noted in words: "given up ID", "summary VISITED KEPT OUT ABSENT FAILED [unconfirmed N]", "pace", "site
// silent", "site back ID", "completed", "starts at PACE".
struct RunHarness : ScriptedSite, RunHost, HarvestEvents
{
    int inFlight = 1;
    qint32 pause = 0;
    bool stopped = false;
    QStringList told;
    ResultModel list;
    Journal journal{QDir(dir.path()).filePath(QStringLiteral("Log"))};
    Journal *journalUsed = &journal;
    FailedIds failed{QDir(dir.path()).filePath(QStringLiteral("Log/journal.failed"))};

    explicit RunHarness(const QString &otherwiseAnswer = QString()) : ScriptedSite(otherwiseAnswer)
    {
        QDir(dir.path()).mkpath(QStringLiteral("Log"));
        journal.lock();
    }

    bool running() const override { return !stopped; }
    bool closing() const override { return false; }
    int parallel() const override { return inFlight; }
    qint32 pauseMs() override { return pause; }
    bool gradeInRange(const QString &) override { return true; }
    void givenUp(qint64 id, const Module1::FetchOutcome &) override { told << QStringLiteral("given up %1").arg(id); }
    void summary(const RunSummary &s) override
    {
        told << QStringLiteral("summary %1 %2 %3 %4 %5").arg(s.visited).arg(s.kept).arg(s.outOfRange).arg(s.absent).arg(s.failed)
                    + (s.unconfirmed > 0 ? QStringLiteral(" unconfirmed %1").arg(s.unconfirmed) : QString());
    }
    void sitePace(double) override { told << QStringLiteral("pace"); }
    void siteSilent(qint64, qint64, bool begins) override
    {
        if (begins)
            told << QStringLiteral("site silent");
    }
    void siteBack(qint64 id) override { told << QStringLiteral("site back %1").arg(id); }
    void completed() override { told << QStringLiteral("completed"); }
    void startsAtKeptPace(const KeptPace &pace) override { told << QStringLiteral("starts at ") + pace.line(); }

    // first to last with so many in flight; kept: with the journal, the history and the failed IDs.
    RunSummary harvest(qint64 first, qint64 last, int parallel, bool kept = true)
    {
        inFlight = parallel;
        HarvestPlan plan;
        plan.site = profileBase();
        plan.ids = IdSequence(first, last);
        plan.settings = testSettings();
        plan.list = &list;
        if (kept) {
            plan.journal = journalUsed;
            plan.history = historyPath();
            plan.failedIds = &failed;
        }
        return Harvest(plan, *this, *this).run();
    }
    QString historyPath() const { return QDir(dir.path()).filePath(QStringLiteral("Log/history.sqlite")); }
    QStringList rowTexts() const // cells joined by '|'
    {
        QStringList out;
        for (int r = 0; r < list.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < ResultModel::kColumns; ++c)
                cells << list.cell(r, c);
            out << cells.join(u'|');
        }
        return out;
    }
};
