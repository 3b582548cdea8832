#pragma once

#include "options.h"
#include "row_format.h"

// --changes: what changed in the profiles of the history, one line a profile in ID order, as
// CSV or JSON Lines. Returns the exit code.
int writeChanges(const CliOptions &options, const RowFormat &format);
