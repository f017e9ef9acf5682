#pragma once

#include "CasterRequest.h"

#include <string>

namespace tessadorn::sim {

// What a caster made of a request, as the modem reports it on the serial line.
struct CasterAnswer {
    enum class Outcome {
        Ok,           // the table came / the stream runs: "<OK"
        Unreachable,  // no answer from the caster: "ERROR 4_1"
        Unauthorized, // HTTP 401: "ERROR 4_2"
        NoMountpoint, // the caster answered a stream request with its table: "ERROR 4_3"
        Failed,       // anything else: "ERROR 5"
    };
    Outcome outcome = Outcome::Failed;
    std::string bytes; // for a table: the caster's reply byte for byte, header lines and all
    int elapsedMs = 0; // how long the caster took
};

// The Internet as the modem meets it: source tables and stream connections.
class CasterService {
  public:
    virtual ~CasterService() = default;
    virtual CasterAnswer fetchTable(const CasterRequest& request) = 0;
    virtual CasterAnswer openStream(const CasterRequest& request) = 0;
    // Whether a server at the request's host and port takes a connection at all.
    virtual bool reachable(const CasterRequest& request) = 0;
};

} // namespace tessadorn::sim
