#pragma once

#include <QString>

#include <memory>

#include "errand.h"
#include "flights.h"
#include "id_sequence.h"
#include "in_order.h"
#include "profile_urls.h"
#include "run_host.h"
#include "run_schedule.h"
#include "run_settings.h"
#include "run_sink.h"
#include "settlement.h"

// One harvest of an ID range, turned by one loop: every request on one road (the schedule),
// answers judged and settled in ID order, what they yield handed to the sinks attached, and
// when answers stop making sense, an errand beside the IDs that finds out why.
class HarvestRun
{
public:
    // Profile pages are fetchBaseUrl followed by the ID in decimal.
    HarvestRun(RunHost &host, RunEvents &events, const QString &fetchBaseUrl,
               const RunSettings &settings = RunSettings());
    ~HarvestRun();

    // Sinks are handed every settled ID in the order they were attached.
    void attach(RunSink &sink) { m_settlement.attach(sink); }
    // What the site was found to say for an ID without a profile before this run (its
    // journal, its history), and a profile it served then: the run need not learn them again.
    void knowAbsence(const AbsentPages::Look &look) { m_settlement.knowAbsence(look); }
    void knowProfile(qint64 id) { m_settlement.knowProfile(id); }
    // The run's counts, as every sink may read them; a run that goes on with an interrupted
    // harvest counts on from that one's.
    const RunSummary &summary() { return m_settlement.tally().summary(); }
    void carryOver(const RunSummary &earlier) { m_settlement.tally().carryOver(earlier); }

    // Walks startID to endID; returns when the run has ended.
    void execute(qint32 startID, qint32 endID);
    // Walks exactly the IDs of ids, in their ascending order.
    void execute(const IdSequence &ids);

    static constexpr int kMostInFlight = 16;

private:
    void walk();
    void collectAnswers();
    void takeAnswer(Flights::Flight &flight);
    void takeBeside(Flights::Flight &flight);
    Settlement::Settled settleInOrder();
    void beginErrand(Settlement::Settled why);
    bool turnErrand(); // false when the run ends there
    bool endErrand();
    void takeAsAbsences(bool flightsDropped);
    void goOnFrom(qint64 id); // everything from id is fetched anew
    bool awaitsAnswer() const { return m_schedule->awaitsAnswer(m_flights.size()); }
    bool idsWait() const { return m_errand->busy() && !m_errand->idsGoOn(); }
    void startDue();
    void startAhead(qint64 position);
    void start(const RequestSchedule::Next &next);
    void sleep();
    bool keepWaiting() const;

    RunHost &m_host;
    RunEvents &m_events;
    const RunSettings m_settings;
    ProfileUrls m_urls;
    Settlement m_settlement;
    IdSequence m_ids{0, -1};
    std::unique_ptr<RunSchedule> m_schedule;
    std::unique_ptr<Errand> m_errand; // on the schedule's road
    Flights m_flights;
    InOrderCommit m_held{0};
    bool m_interrupted = false; // a wait was ended from outside
};
