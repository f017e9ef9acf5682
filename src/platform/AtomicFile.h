#pragma once

#include "platform/FileWriter.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessadorn {

// Writes files all or nothing: the bytes go to a temporary file in the same folder
// ("<name>.XXXXXX", QSaveFile), written unbuffered so that every failed write is seen, synced
// to disk and only then renamed over the old file. A crash, a full disk or an I/O error while
// writing leaves the old file as it was, and the reason is the system's ("No space left on
// device"). A crash may leave the temporary file; removeLeftoverCopies() clears those.
class AtomicFile final : public FileWriter {
  public:
    // What an injected fault does once the given number of bytes reached the temporary file.
    enum class Fault {
        WriteError,  // the next write fails, as on a full disk (reason "No space left on device")
        Crash,       // the process ends at once (std::_Exit(3)), leaving the temporary file
        CommitError, // every byte is written, then the final commit fails
    };

    bool replace(const std::string& path, std::string_view bytes, int mode) override;
    bool replaceExplained(const std::string& path, std::string_view bytes, int mode,
                          std::string& reason) override;
    bool createIfMissing(const std::string& path, int mode) override;

    // For tests: every later replace() stops after `atByte` bytes with `fault` (CommitError
    // ignores `atByte`); std::nullopt writes normally again.
    void injectFault(std::optional<std::size_t> atByte, Fault fault = Fault::WriteError);

    // The writer the program uses.
    static AtomicFile& standard();

    // Removes the temporary copies an interrupted save of `path` left beside it (a regular file
    // of the user's named as the save names it, "<name>.XXXXXX" with six letters or digits), as
    // they may hold passwords. Says so in the debug output. Returns the paths removed.
    static std::vector<std::string> removeLeftoverCopies(const std::string& path);

  private:
    std::mutex m_Mutex;
    std::optional<std::size_t> m_FaultAt;
    Fault m_Fault = Fault::WriteError;
};

} // namespace tessadorn
