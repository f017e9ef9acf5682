#pragma once

#include <string>
#include <string_view>

namespace tessadorn {

// How the program writes its small files. The program uses AtomicFile; tests may put a
// failing writer in its place.
class FileWriter {
  public:
    // Permission value meaning "leave the mode as it is (or the default for a new file)".
    static constexpr int kKeepMode = -1;

    virtual ~FileWriter() = default;

    // Replaces the whole file at `path` with `bytes`. `mode` (e.g. 0600) is given to the new
    // file unless it is kKeepMode. Returns false when the file could not be replaced; the
    // previous file is then left complete and unchanged.
    virtual bool replace(const std::string& path, std::string_view bytes, int mode) = 0;

    // As replace(); when it fails, `reason` says why in the system's words (for the user, e.g.
    // "Permission denied"), otherwise it is emptied. A writer that cannot tell gives a general
    // reason.
    virtual bool replaceExplained(const std::string& path, std::string_view bytes, int mode,
                                  std::string& reason) {
        reason.clear();
        if (replace(path, bytes, mode)) return true;
        reason = "the file could not be written";
        return false;
    }

    // Creates an empty file at `path` with `mode` when no file exists there. Returns true when
    // a file exists afterwards.
    virtual bool createIfMissing(const std::string& path, int mode) = 0;
};

} // namespace tessadorn
