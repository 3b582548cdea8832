#include "harvest_run.h"

#include "pageutil.h"

#include <QScopeGuard>

HarvestRun::HarvestRun(RunHost &host, ResultModel &list, const QString &fetchBaseUrl,
                       Journal *journal, const RunSettings &settings)
    : m_host(host), m_fetchBase(fetchBaseUrl), m_settings(settings),
      m_settlement(host, list, journal, m_settings.retries)
{
}

HarvestRun::~HarvestRun() = default;

const RunSummary &HarvestRun::summary() const { return m_settlement.summary(); }
void HarvestRun::carryOver(const RunSummary &earlier) { m_settlement.carryOver(earlier); }
void HarvestRun::streamRows(qint64 rowsBefore) { m_settlement.streamRows(rowsBefore); }
void HarvestRun::recordInto(HistoryWriter *history) { m_settlement.recordInto(history); }

void HarvestRun::execute(qint32 startID, qint32 endID)
{
    // IDs are walked in 64 bits: a range may end at the largest 32-bit ID, and a span
    // wider than 2^31 still shows its true numbers.
    if (endID < startID) {
        m_settlement.setAt(startID);
        m_host.reversedRange();
        return;
    }
    execute(IdSequence(startID, endID));
}

void HarvestRun::execute(const IdSequence &ids)
{
    m_ids = ids;
    if (m_ids.size() == 0)
        return;
    m_settlement.begin(m_ids);
    const int most = qBound(1, m_host.parallel(), kMostInFlight);
    m_schedule = std::make_unique<RunSchedule>(m_host, most, m_ids.size() - 1, m_settings.retries.maxRetryAfterMs);
    m_flights.clear();
    m_held = InOrderCommit(0);
    m_freeRefusals.clear();
    m_interrupted = m_rangeDone = m_settledSinceCheck = false;
    // Beyond one, the transfer library holds the connections to the site to the same number,
    // so even requests of a run nested in this one never exceed it.
    const int connectionsBefore = most > 1 ? Module1::setConnectionsPerHost(most) : -1;
    const auto restore = qScopeGuard([connectionsBefore] {
        if (connectionsBefore >= 0)
            Module1::setConnectionsPerHost(connectionsBefore);
    });
    const auto dropFlights = qScopeGuard([this] { m_flights.clear(); }); // what is still out is abandoned
    try {
        walk();
    } catch (const Module1::Failure &failure) {
        m_flights.clear();
        m_settlement.failed();
        m_host.failed(m_settlement.at(), failure.message(), failure.code());
    }
}

bool HarvestRun::keepWaiting() const { return m_host.running() && !m_host.closing(); }

bool HarvestRun::anyAnswerIn() const
{
    for (const Flight &f : m_flights) {
        if (f.fetch.ready())
            return true;
    }
    return false;
}
