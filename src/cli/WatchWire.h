#pragma once

#include "cli/Commands.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessadorn::cli {

// A command and its result as they travel between tessadornctl and the watch that serves its
// port (one message each way; see LocalSocket's frames). Passwords among the options travel only
// here, never on the watch's stream or log.
class WatchWire {
  public:
    // A file the command names, read by the caller (who may read it) for the watch (who may
    // not): the word that names it, its bytes and its permission bits.
    struct File {
        std::size_t word = 0;
        std::string bytes;
        unsigned mode = 0;
    };

    static std::string encodeRequest(const Request& request, const std::vector<File>& files);
    // False for bytes that are no request of this program's version.
    static bool decodeRequest(std::string_view bytes, Request& request, std::vector<File>& files);
    static std::string encodeResult(const Result& result);
    static bool decodeResult(std::string_view bytes, Result& result);
};

} // namespace tessadorn::cli
