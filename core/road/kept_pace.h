#pragma once

#include <QString>

// What a run found of a site's pace, kept with the site (in its history) and with the run (in
// its journal) so that the next harvest of it starts there: the rate the run held, the rate
// the site proved and more than the burst it showed; or that it never refused at so many in
// flight; or nothing known.
struct KeptPace
{
    double rate = 0;   // requests a second the run held to; 0: not limited
    double proven = 0; // requests a second the site's answers proved it takes
    qint64 burst = -1; // more than the site's burst; -1 unknown
    int inFlight = 0;  // requests in flight the run went to; 0 with no rate: nothing known

    bool limited() const { return rate > 0; }
    bool neverRefused() const { return rate <= 0 && inFlight > 0; }
    bool known() const { return limited() || neverRefused(); }

    // "RATE PROVEN BURST IN_FLIGHT", as the journal and the history keep it; nothing known
    // for a line that is none.
    QString line() const;
    static KeptPace fromLine(QStringView line);
};
