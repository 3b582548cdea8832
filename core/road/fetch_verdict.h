#pragma once

#include <QString>

#include "pageutil.h"

// What a run makes of one fetch: a page to read, no profile, a fault worth another try, or a
// failure not worth one.
namespace FetchVerdict {

enum Kind {
    Page,      // a response that may carry a profile (any status with a display name)
    Absent,    // 404 or 410, or a page without a display name
    Transient, // a fault that another try may not meet: retried
    GiveUp,    // failed, and trying again would fail the same way
    Cancelled, // the wait was ended from outside (the program is closing)
};

Kind classify(const Module1::FetchOutcome &outcome, QStringView page);
Kind classify(const Module1::FetchOutcome &outcome, const Module1::Page &page);

// A short reason for the log: "HTTP 503", "连接被重置", "超时", ...
QString reason(const Module1::FetchOutcome &outcome);
// The same in English, for the command line: "HTTP 503", "connection reset", "timed out", ...
QString englishReason(const Module1::FetchOutcome &outcome);

} // namespace FetchVerdict
