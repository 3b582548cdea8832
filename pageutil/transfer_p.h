#pragma once

#include "curlpump.h"
#include "pageutil.h"

namespace Module1::detail {

// The options of a transfer beyond the plain request: its first status line and error text
// kept, HTTP/2 multiplexing, and the authorities that vouch for the site (caFile's besides).
void setSecureOptions(Transfer &t, const QString &url, const QString &caFile);

// What a finished transfer of url ran into, and for a response its status, Retry-After and
// permanent move; false when no response came.
bool readOutcome(const Transfer &t, const QString &url, FetchOutcome &outcome);

} // namespace Module1::detail
