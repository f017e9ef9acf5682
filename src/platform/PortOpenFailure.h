#pragma once

#include <string>

namespace tessadorn {

// Why the serial device `path` could not be opened, in words a user can act on: the path, the
// system's reason for `error` (an errno value) and what to do about it. For a device the user
// may not open, names the group that owns the device file.
std::string describePortOpenFailure(const std::string& path, int error);

} // namespace tessadorn
