#pragma once

#include "TempDir.h"
#include "modem/ModemSession.h"

#include <filesystem>
#include <string>

namespace tessadorn::test {

// The rate a session holds before its monitor starts, as the program gets it: from the device
// profile. The file is written, read and removed again, so that a test sees only the profile
// files the program itself writes. A negative index: no profile, and a rate scan that has found
// nothing yet.
inline void holdRate(ModemSession& session, int baudIndex) {
    if (baudIndex >= 0) writeBytes(session.profilePath(), std::to_string(baudIndex));
    session.loadProfile();
    std::filesystem::remove(session.profilePath());
    if (baudIndex < 0) session.scanStarts();
}

} // namespace tessadorn::test
