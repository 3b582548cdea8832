#pragma once

#include "pageutil.h"

#include <map>

// How the fetch of one ID ended, as far as the run goes on with it.
enum class Fetched { Page, Absent, GivenUp, Interrupted };

// Answers of a run held until every earlier ID is finished, so that rows, log lines
// and the journal follow the ID order whatever order the pages came back in.
class InOrderCommit
{
public:
    struct Answer
    {
        Fetched fetched = Fetched::Absent;
        Module1::Page page;
        Module1::FetchOutcome why;
    };

    explicit InOrderCommit(qint64 first);

    void put(qint64 id, Answer &&answer);
    // Whether the oldest unfinished ID has its answer.
    bool nextReady() const;
    // That answer, left in place until takeNext(); the ID after it becomes the oldest unfinished one.
    Answer &next();
    Answer takeNext();
    qint64 oldestUnfinished() const;

private:
    qint64 m_oldest;
    std::map<qint64, Answer> m_held;
};
