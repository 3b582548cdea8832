#pragma once

#include "history_writer.h"
#include "id_sequence.h"
#include "run_host.h"
#include "run_settings.h"
#include "run_summary.h"

#include <QObject>
#include <QString>

class FailedIds;
class Journal;
class ResultModel;

// A harvest as whoever starts it describes it: the site, the IDs, how, and where what it
// yields goes.
struct HarvestPlan
{
    QString site;          // profile pages are this followed by the ID in decimal
    IdSequence ids{0, -1}; // in ascending order; a reversed range walks none and says so
    RunSettings settings;
    Journal *journal = nullptr;     // the rows kept and how far the run got; what it learnt of the site
    QString history;                // the history file; empty for none
    QString program;                // the harvest's program, as the history keeps it
    FailedIds *failedIds = nullptr; // where the IDs given up go; none: only the summary names them
    // The rows kept stay in list. Without one, each row is handed on (RunEvents::rowKept) and
    // gone, numbered after rowsBefore rows an interrupted harvest kept.
    ResultModel *list = nullptr;
    qint64 rowsBefore = 0;
    RunSummary earlier; // the counts of the interrupted harvest this one goes on with
};

// What a harvest tells besides what its run tells.
class HarvestEvents : public RunEvents
{
public:
    // The history could not be written as asked; the harvest goes on. Told on the thread that
    // runs the harvest.
    virtual void historyTrouble(HistoryWriter::Trouble trouble, const QString &file, const QString &detail)
    {
        (void)trouble, (void)file, (void)detail;
    }
};

// Makes the harvest a plan describes, in one place whatever starts it: reads what the journal
// and the history know of the site, opens the history, attaches the sinks in the order that
// matters, and runs it.
class Harvest
{
public:
    Harvest(const HarvestPlan &plan, RunHost &host, HarvestEvents &events);

    // Returns the run's counts when it has ended and the history is written; the history's
    // troubles are told by then.
    RunSummary run();

private:
    std::unique_ptr<HistoryWriter> openHistory();

    const HarvestPlan &m_plan;
    RunHost &m_host;
    HarvestEvents &m_events;
    QObject m_told; // what the history's thread tells comes here, on this thread
};
