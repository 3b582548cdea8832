#pragma once

#include <QList>
#include <QStringList>

// The counts of one run, for its summary.
struct RunSummary
{
    qint64 visited = 0, kept = 0, outOfRange = 0, absent = 0, failed = 0;
    QList<qint64> failedIds; // the first ones only, as many as the summary names
    // What the pages without a profile said of themselves most often, and how many said it:
    // a run that found no profile at all tells what its pages were.
    QString commonGist;
    qint64 commonGistCount = 0;
    bool noProfile() const { return kept == 0 && outOfRange == 0 && absent > 0 && commonGistCount > 0; }
    // Pages taken for absences that nothing could tell from a block: no profile had been read
    // to compare them with, nor were they a "no such profile" the site was known to send.
    qint64 unconfirmed = 0;
    // No profile read, and pages of which nothing says they are no block: the run fails closed.
    bool failsClosed() const { return kept == 0 && outOfRange == 0 && unconfirmed > 0; }
    static constexpr int kIdsNamed = 50;
    // The summary as the window's log writes it; wholeList is where all the failed IDs are listed.
    QStringList lines(const QString &wholeList = QString()) const;
};
