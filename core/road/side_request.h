#pragma once

#include "in_order.h"

#include <functional>

// A request beside the IDs (a look into strange pages, a probe of a quiet site): what is asked
// and whom its answer goes to, how often the site refused it for the run's pace, from when it
// may go again, and whether it is out. There is one at a time; it takes the road every request
// takes and goes before any ID.
class SideRequest
{
public:
    struct Answer
    {
        Fetched fetched = Fetched::Absent;
        Module1::FetchOutcome why;
        Module1::Page page;
    };
    using Reply = std::function<void(Answer &answer)>;

    // reply is handed the answer once it is in; it may ask again.
    void ask(qint64 id, Reply reply);
    bool asked() const { return bool(m_reply); } // until its answer is handed back
    bool wanted() const { return asked() && !m_out; }
    qint64 id() const { return m_id; }
    qint64 notBeforeMs() const { return m_notBeforeMs; }
    int refusals() const { return m_refusals; } // for the run's pace
    void wentOut() { m_out = true; }
    // Refused for the run's own pace: asked again from atMs, as an ID would be.
    void refused(qint64 atMs);
    void answer(Answer &answer);
    void drop(); // nothing is asked any more

private:
    qint64 m_id = 0;
    qint64 m_notBeforeMs = 0;
    int m_refusals = 0;
    bool m_out = false;
    Reply m_reply;
};
