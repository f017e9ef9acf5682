#pragma once

#include <string>

namespace tessadorn {

// An advisory lock on a file of its own beside the file it guards ("ntripcfg.txt.lock"), held
// while it lives. Every process that changes the guarded file takes it first, so that their
// read-change-write sequences run one after the other instead of losing each other's changes.
// The lock file is created (mode 0600) when missing and never removed: removing it would let two
// processes hold locks on two different files of the same name.
//
// Blocks until the lock is free. The lock is the system's (flock), so it is let go when the
// process ends, however it ends. Two FileLocks on one path in one process also wait for each
// other: hold one at a time.
class FileLock {
  public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // False when the lock file could not be opened or locked (a read-only folder): the caller
    // then goes on unguarded, as it did before there was a lock; `reason()` says why.
    bool held() const { return m_Fd >= 0; }
    const std::string& reason() const { return m_Reason; }

  private:
    int m_Fd = -1;
    std::string m_Reason;
};

} // namespace tessadorn
