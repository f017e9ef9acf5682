#pragma once

#include "cli/Commands.h"

namespace tessadorn::cli {

// tessadornctl watch [--interval SECONDS] [--prometheus FILE]: runs the window's monitor on the
// port until the environment's stop is requested, and tells each event as it comes (found,
// status, heartbeat, lost, error: see WatchReport). Ends with 0 when stopped, 1 when the port
// cannot be opened, 2 for a wrong option.
Result watch(const Request& request, Environment& environment);

} // namespace tessadorn::cli
