#pragma once

#include <string>

namespace tessadorn {

// Why the serial device `path` could not be opened, in words a user can act on: the path, the
// system's reason for `error` (an errno value) and what to do about it. For a device the user
// may not open, names the group that owns the device file. A device in use (EBUSY) whose
// holder is known (`holderPid` > 0) is said to be in use by that process, named from the process
// table ("ModemManager (process 812)"); for ModemManager it says how to keep it away.
std::string describePortOpenFailure(const std::string& path, int error, int holderPid = 0,
                                    const std::string& procFolder = "/proc");

} // namespace tessadorn
