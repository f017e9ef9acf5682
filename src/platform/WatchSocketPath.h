#pragma once

#include <string>
#include <vector>

namespace tessadorn {

// Where a running watch serves the commands of others on its port: a local socket named after
// the serial device's number ("watch-188-0.sock"), so that every name of one device (its
// /dev/serial/by-id link, /dev/ttyUSB0) leads to the same socket. The folder is
// $TESSADORN_RUNTIME_DIR when set; otherwise a service's own runtime folder
// ($RUNTIME_DIRECTORY: /run/tessadorn-watch/INSTANCE for the unit we ship), /run/tessadorn
// (root's), else the user's $XDG_RUNTIME_DIR/tessadorn. A command looks in all of them.
class WatchSocketPath {
  public:
    // The socket's file name for the device at `devicePath`; empty when no device is there.
    static std::string name(const std::string& devicePath);
    // The path a watch serves at, its folder made when missing; empty with the reason.
    static std::string forServing(const std::string& devicePath, std::string& why);
    // The paths a command tries, in order.
    static std::vector<std::string> candidates(const std::string& devicePath);
};

} // namespace tessadorn
