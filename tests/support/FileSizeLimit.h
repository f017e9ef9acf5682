#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tessadorn::test {

// What a child process reported and how it ended.
struct ChildResult {
    bool exitedCleanly = false; // exit status 0, no signal
    std::string report;         // what `work` returned
};

// Runs `work` in a forked child whose files cannot grow past `limitBytes` (RLIMIT_FSIZE, with
// SIGXFSZ ignored): a write that would take a file past the limit fails with EFBIG, as a write
// to a full disk fails with ENOSPC, on the program's real write path. The child may raise the
// limit again with liftFileSizeLimit() (the disk has room again). Call it from a test without
// other threads running.
ChildResult runWithFileSizeLimit(std::size_t limitBytes, const std::function<std::string()>& work);

// In such a child: files may grow again.
void liftFileSizeLimit();

} // namespace tessadorn::test
