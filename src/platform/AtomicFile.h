#pragma once

#include "platform/FileWriter.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessadorn {

// Writes files all or nothing: the bytes go to a copy in the same folder under a name only this
// program writes ("<name>.tessadorn-<process id>-<number>"), written unbuffered so that every
// failed write is seen, synced to disk and only then renamed over the old file. A crash, a full
// disk or an I/O error while writing or syncing leaves the old file as it was, and the reason is
// the system's ("No space left on device"). A crash may leave the copy; removeLeftoverCopies()
// clears those.
class AtomicFile final : public FileWriter {
  public:
    // What an injected fault does once the given number of bytes reached the temporary file.
    enum class Fault {
        WriteError,  // the next write fails, as on a full disk (reason "No space left on device");
                     // at the copy's size, every byte is written and the sync fails
        Crash,       // the process ends at once (std::_Exit(3)), leaving the temporary file
        Terminate,   // the process gets SIGTERM (as from `kill`), then ends as on Crash
        CommitError, // every byte is written and synced, then the rename is not done
        SyncError,   // every byte is written, then the sync fails
    };

    bool replace(const std::string& path, std::string_view bytes, int mode) override;
    bool replaceExplained(const std::string& path, std::string_view bytes, int mode,
                          std::string& reason) override;
    bool createIfMissing(const std::string& path, int mode) override;

    // For tests: every later replace() stops after `atByte` bytes with `fault` (CommitError and
    // SyncError ignore `atByte`); std::nullopt writes normally again.
    void injectFault(std::optional<std::size_t> atByte, Fault fault = Fault::WriteError);

    // The writer the program uses.
    static AtomicFile& standard();

    // Removes the copies an interrupted save of `path` left beside it (a regular file of the
    // user's under the name only this program writes, whose process no longer runs), as they
    // may hold passwords. Says so in the debug output. Returns the paths removed.
    static std::vector<std::string> removeLeftoverCopies(const std::string& path);
    // Removes the copies this process's saves are writing at this moment (async-signal-safe:
    // for a handler of a signal that ends the program, as the copies may hold passwords).
    static void removeCopiesInFlight();
    // From now on SIGTERM and SIGHUP remove those copies, then end the program by the signal as
    // before; the old file stays as it was.
    static void removeCopiesOnTermination();
    // The name of a new copy of `path` for this process.
    static std::string copyName(const std::string& path);

  private:
    std::mutex m_Mutex;
    std::optional<std::size_t> m_FaultAt;
    Fault m_Fault = Fault::WriteError;
};

} // namespace tessadorn
