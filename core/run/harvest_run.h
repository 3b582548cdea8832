#pragma once

#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "id_sequence.h"
#include "in_order.h"
#include "pageutil.h"
#include "run_host.h"
#include "run_schedule.h"
#include "run_settings.h"
#include "run_sink.h"
#include "quiet_site.h"
#include "settlement.h"

// One harvest of an ID range: every request on one road (the schedule), answers judged and
// settled in ID order, and what they yield handed to the sinks attached.
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

    // Walks startID to endID; returns when the run has ended.
    void execute(qint32 startID, qint32 endID);
    // Walks exactly the IDs of ids, in their ascending order.
    void execute(const IdSequence &ids);

    static constexpr int kMostInFlight = 16;

private:
    // One request out: which position of the IDs walked (or, beside the IDs, which ID), its
    // attempt, and when it started.
    struct Flight
    {
        qint64 at;
        int attempt;
        qint64 startedMs;
        Module1::PendingFetch fetch;
        bool beside = false;
    };
    // The answer to a request beside the IDs.
    struct Asked
    {
        Fetched fetched = Fetched::Absent;
        Module1::FetchOutcome why;
        Module1::Page page;
    };
    void walk();
    void collectAnswers();
    void takeAnswer(Flight &flight);
    void takeBeside(Flight &flight);
    Settlement::Settled settleInOrder();
    void recycle(Module1::Page &&page);
    bool ask(qint64 id, Asked &out); // false when the run ends meanwhile
    QuietSite::Silence holdBack(const QuietSite::Probe &probe, const QuietSite::Told &told);
    bool waitForSite(); // false when the run ends there
    // The same for strange pages: what they are, and the wait while they are no profiles.
    bool lookIntoPages();
    enum class Probed { Stopped, Strange, Back, Absences };
    Probed probePages(qint64 from, bool again);
    bool waitWhileStrange(qint64 from, bool again, Probed &probed);
    int askForProfile(qint64 id, AbsentPages::Look *look); // 1, 0 or -1 (stopped)
    bool takeAsAbsences();
    void stoppedWaiting();
    void goOnFrom(qint64 id); // everything from id is fetched anew
    void followMove(const Module1::FetchOutcome &why, qint64 id);
    bool awaitsAnswer() const;
    void startDue();
    void startAhead(qint64 position);
    void start(const RequestSchedule::Next &next);
    void sleep();
    bool keepWaiting() const;
    bool anyAnswerIn() const;

    RunHost &m_host;
    RunEvents &m_events;
    QString m_fetchBase;
    const RunSettings m_settings;
    Settlement m_settlement;
    IdSequence m_ids{0, -1};
    std::unique_ptr<RunSchedule> m_schedule;
    std::vector<Flight> m_flights;
    InOrderCommit m_held{0};
    // An ID's refusals: those not counted as attempts, all of them, and the site's count of
    // refusals just before its first.
    struct Refusals
    {
        int free = 0, all = 0;
        qint64 seenBefore = 0;
    };
    std::map<qint64, Refusals> m_refusals;
    int freeRefusalsOf(qint64 position, const Module1::FetchOutcome &outcome, bool paceRefused);
    std::vector<Module1::Page> m_sparePages; // pages settled: their storage serves the next
    bool m_interrupted = false;       // a wait was ended from outside
    bool m_rangeDone = false;         // the last ID is settled
    bool m_settledSinceCheck = false; // one at a time: the stop is looked at after each ID
    bool m_moved = false;             // the site's permanent redirect is followed
    bool m_flightsDropped = false;    // a wait dropped what was in flight: it is asked again
    qint64 m_lookedFrom = -1;         // the first of the strange pages looked into last
    int m_lookedAgain = 0;            // how many times before that one was looked into
    // While a request beside the IDs is out, only it may start; its answer, once in.
    bool m_asking = false;
    // Beyond one, the IDs go on while the look into strange pages is out (their answers are
    // held for their turn); never while a silent or blocking site is probed.
    bool m_idsGoOn = false;
    qint64 m_besideId = 0;
    int m_besideRefusals = 0;
    std::optional<Asked> m_besideAnswer;
};
