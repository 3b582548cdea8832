#pragma once

#include "pageutil.h"

#include <QList>
#include <QString>

// What the site answers for an ID without a profile, learned from the run's own answers (or
// from an earlier run of the site), so that a page that is neither a profile nor such an
// answer (a verification page, a login wall, a new layout, an error page sent with 200) is
// never counted as an absence.
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
    // What a page without a profile says of itself, with numbers masked.
    static QString masked(const QString &gist);

    // An answer so looking is surely no profile: 404 and 410 always, else a look learned.
    bool confirmed(const Look &look) const;
    // ...or taken as one: anything while there is no profile to tell it from.
    bool isAbsence(const Look &look) const { return confirmed(look) || m_lastProfile < 0; }
    // True when the look was new.
    bool learn(const Look &look);
    // A profile the site served: the run's own, or one an earlier harvest read.
    void profileAt(qint64 id) { m_lastProfile = id; }
    qint64 lastProfile() const { return m_lastProfile; } // -1 before the first

private:
    QList<Look> m_known;
    qint64 m_lastProfile = -1;
};
