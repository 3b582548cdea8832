#pragma once

#include "pageutil.h"

#include <QList>
#include <QPair>
#include <QString>

// What the site answers for an ID without a profile, learned from the run's own answers, so
// that a page that is neither a profile nor such an answer (a verification page, a login
// wall, a new layout, an error page sent with 200) is never counted as an absence.
class AbsentPages
{
public:
    // The look of an answer without a profile: its status and what it says of itself, with
    // numbers masked (a page that names the ID it did not find looks the same for every ID).
    struct Look
    {
        int status = 0;
        QString key;
        bool operator==(const Look &other) const { return status == other.status && key == other.key; }
    };
    static Look lookOf(const Module1::FetchOutcome &why);

    // An answer so looking is surely no profile: 404 and 410 always, anything before the run
    // has read a profile (there is nothing to tell it from), else only a look learned.
    bool isAbsence(const Look &look) const;
    void learn(const Look &look);
    void profileAt(qint64 id) { m_lastProfile = id; }
    qint64 lastProfile() const { return m_lastProfile; } // -1 before the first

    // Every absence counted, for a summary that can say what the pages of a run were.
    void counted(const Module1::FetchOutcome &why);
    // The most common gist of the absences counted, and how many had it.
    QPair<QString, qint64> commonest() const;

private:
    QList<Look> m_known;
    qint64 m_lastProfile = -1;
    struct Seen
    {
        QString key, gist;
        qint64 count;
    };
    QList<Seen> m_seen; // a few distinct looks of the absences, as first seen, with their counts
};
