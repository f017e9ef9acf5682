#pragma once

#include "cli/Commands.h"

#include <optional>

namespace tessadorn::cli {

// The command line's side of a watch that serves its port (WatchService): a command that needs
// the modem, on a port whose watch listens, is sent to that watch and its result comes back as
// if the command had run here. Files the command reads are read here, a profile it exports is
// written here, so that they stay the user's.
class WatchClient {
  public:
    // The watch's result, or nothing when no watch serves the port (the command runs itself).
    static std::optional<Result> run(const Request& request, Environment& environment);
};

} // namespace tessadorn::cli
