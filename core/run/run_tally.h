#pragma once

#include "run_host.h"
#include "run_sink.h"
#include "run_summary.h"

#include <QList>

// The counts of a run, for its summary, told when the run ends as it is to be said.
class RunTally : public RunSink
{
public:
    explicit RunTally(RunEvents &events) : m_events(events) {}

    // The run goes on from an interrupted one: its counts start from those.
    void carryOver(const RunSummary &earlier) { m_summary = earlier; }
    const RunSummary &summary() const { return m_summary; }

    void settled(const SettledId &id) override;
    void ended(RunEnd how, qint64 resumeAt) override;

private:
    void countGist(const QString &gist);

    RunEvents &m_events;
    RunSummary m_summary;
    struct Seen
    {
        QString key, gist;
        qint64 count;
    };
    QList<Seen> m_seen; // a few distinct looks of the absences, as first seen, with their counts
};
