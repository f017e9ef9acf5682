#pragma once

// The modem's facts as every output of the command line names them: `status --json`, the lines
// of `watch --json`, `profile export` and the metrics give a fact one key, one shape and one type
// (the manual's JSON OUTPUT lists them).

#include "cli/Value.h"

#include <string>

namespace tessadorn::cli::facts {

// "sim": {"code": 5, "name": "ready"} (the metric tessadorn_sim_state is the code).
Value sim(int simState);
// "connection": {"code": 1, "name": "on"} (tessadorn_connected is 1 while the code is 1).
Value connection(int connection);
// "apn_ready": true or false (tessadorn_apn_up). "apn" is always the APN setting.
Value apnReady(int apnReady);
// "rate": the link's rate in bit/s, from the modem's rate index.
Value rate(int baudIndex);
// A caster's or the relay's "port" as a number; null when the modem holds none or no number.
Value port(const std::string& device);

} // namespace tessadorn::cli::facts
