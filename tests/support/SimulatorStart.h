#pragma once

#include "app/SimulatorProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessadorn::test {

// Starts tessadorn-sim (TESSADORN_SIM_EXECUTABLE, defined by the test's target) with `args` and
// its pseudo-terminal at `link`, its output going to `log`; a failure is reported to the
// running test.
inline bool startSimulator(SimulatorProcess& simulator, const std::string& link,
                           std::vector<std::string> args, const std::string& log = "/dev/null") {
    args.insert(args.end(), {"--link", link});
    if (simulator.start(TESSADORN_SIM_EXECUTABLE, args, 5000, log)) return true;
    ADD_FAILURE() << simulator.error();
    return false;
}

} // namespace tessadorn::test
