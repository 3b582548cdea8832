#pragma once

#include "absent_pages.h"
#include "kept_pace.h"
#include "run_summary.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The state of a journal's run in its .run file: "key=value" lines, then what the site says
// for an ID without a profile, a line each, and the site's pace as the run found it.
namespace JournalState {

struct State
{
    qint64 first = 0, last = 0, finished = 0, rows = 0;
    RunSummary counts; // absent from journals of older versions
    QList<AbsentPages::Look> absences;
    KeptPace pace;
};

// False for a file that holds no whole state.
bool read(const QString &path, State &state);
QByteArray text(const State &state);

} // namespace JournalState
