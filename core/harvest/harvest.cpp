#include "harvest.h"
#include "failed_ids.h"
#include "harvest_run.h"
#include "history_sink.h"
#include "journal.h"
#include "journal_sink.h"
#include "list_sink.h"
#include "result_model.h"

#include <QCoreApplication>

#include <optional>

namespace {
// What the run yields goes to these, attached in this order: the list numbers each row,
// which the journal then keeps with the run's counts; the IDs given up; the history.
struct Sinks
{
    Sinks(const HarvestPlan &plan, HarvestRun &run, HarvestEvents &events, ResultModel &list, HistoryWriter *history)
        : rows(list, events)
    {
        if (!plan.list)
            rows.streamRows(plan.rowsBefore);
        run.attach(rows);
        if (plan.journal)
            run.attach(journal.emplace(*plan.journal, run.summary()));
        if (plan.failedIds)
            run.attach(failed.emplace(*plan.failedIds));
        if (history)
            run.attach(recorded.emplace(*history));
    }
    ListSink rows;
    std::optional<JournalSink> journal;
    std::optional<FailedIdsSink> failed;
    std::optional<HistorySink> recorded;
};
} // namespace

Harvest::Harvest(const HarvestPlan &plan, RunHost &host, HarvestEvents &events)
    : m_plan(plan), m_host(host), m_events(events)
{
}

RunSummary Harvest::run()
{
    if (m_plan.ids.size() == 0) {
        m_events.reversedRange();
        return {};
    }
    // What earlier harvests found of the site, read before the history is opened for this one:
    // a file still open here could not be set aside there, were it damaged (on Windows).
    const SiteFacts facts = m_plan.history.isEmpty() ? SiteFacts() : SiteFacts::read(m_plan.history, m_plan.site);
    std::unique_ptr<HistoryWriter> history = openHistory();
    // The site's pace as the journal's run found it (the run this one goes on with), else as
    // the history kept it.
    RunSettings settings = m_plan.settings;
    if (!settings.pace.known())
        settings.pace = m_plan.journal && m_plan.journal->pace().known() ? m_plan.journal->pace() : facts.pace;
    HarvestRun run(m_host, m_events, m_plan.site, settings);
    run.carryOver(m_plan.earlier);
    ResultModel streamed; // each row passes through on its way out
    const Sinks sinks(m_plan, run, m_events, m_plan.list ? *m_plan.list : streamed, history.get());
    // What earlier runs found of the site: the journal's, and the history's of every harvest of it.
    if (m_plan.journal) {
        for (const AbsentPages::Look &look : m_plan.journal->absences())
            run.knowAbsence(look);
    }
    facts.teach(run);
    run.execute(m_plan.ids);
    history.reset(); // what it recorded is written, or given up on
    QCoreApplication::sendPostedEvents(&m_told);
    return run.summary();
}

// Every page the run reads goes to the history; its troubles are told once each, and the
// harvest goes on whatever becomes of it.
std::unique_ptr<HistoryWriter> Harvest::openHistory()
{
    if (m_plan.history.isEmpty())
        return nullptr;
    const HistoryWriter::Harvest harvest{m_plan.site, m_plan.ids.first(), m_plan.ids.last(), m_plan.program};
    return std::make_unique<HistoryWriter>(
        m_plan.history, harvest, [this](HistoryWriter::Trouble trouble, const QString &file, const QString &detail) {
            QMetaObject::invokeMethod(&m_told, [this, trouble, file, detail] {
                m_events.historyTrouble(trouble, file, detail);
            }, Qt::QueuedConnection);
        });
}
