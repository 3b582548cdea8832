#pragma once

#include <QtGlobal>

namespace Module1::detail {

// Bumped by cancelWaits(); a wait ends when the generation it started under is gone.
quint64 waitGeneration();

// Blocks in the event loop until at least one event has been handled.
void waitForEvents();

} // namespace Module1::detail
