#pragma once

#include <string>

namespace tessadorn {

// One caster of the caster list. Every field is a text in the device code page
// (Windows-1252), at most 49 bytes when it comes from the file.
class CasterEntry {
  public:
    std::string name;      // shown in every list of casters
    std::string ip;        // host name or IP address; for an IBSS entry the organisation
    std::string port;      // TCP port, decimal text
    std::string user;      // NTRIP user; for an IBSS entry the device name
    std::string Password;  // NTRIP password
    std::string Tessadorn; // "1": a Tessadorn server (address and port only), "0": a caster
    std::string vntrip;    // "1" NTRIP 1.0, "2" NTRIP 2.0, "3" IBSS, "0" none chosen

    // Empties every field.
    void clear();

    bool operator==(const CasterEntry&) const = default;
};

} // namespace tessadorn
