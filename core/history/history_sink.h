#pragma once

#include "absent_pages.h"
#include "run_sink.h"

class HarvestRun;
class HistoryWriter;

// Every profile a run reads, kept in the list or not, and every ID without one, into the
// history; what the site says for an ID without a profile, with the site.
class HistorySink : public RunSink
{
public:
    explicit HistorySink(HistoryWriter &writer) : m_writer(writer) {}
    void settled(const SettledId &id) override;
    void learnt(const AbsentPages::Look &look) override;
    void paced(const KeptPace &pace) override;

private:
    HistoryWriter &m_writer;
};

// What earlier harvests learnt of a site: a profile it served, what it says for an ID without
// a profile, and its pace. Nothing when the history cannot be read or knows no such site.
struct SiteFacts
{
    qint64 lastProfile = -1;
    QList<AbsentPages::Look> absences;
    KeptPace pace;

    static SiteFacts read(const QString &historyPath, const QString &site);
    // The run starts knowing them.
    void teach(HarvestRun &run) const;
    static QString line(const AbsentPages::Look &look); // as the history keeps it
};
