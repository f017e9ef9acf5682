#include "cli/WatchClient.h"

#include "cli/Modem.h"
#include "cli/WatchWire.h"
#include "platform/LocalSocket.h"
#include "platform/WatchSocketPath.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tessadorn::cli {

namespace {

// Commands that never talk to the modem (the caster list, the udev rule), and the two that
// need the port to themselves.
bool needsNoWatch(const std::string& command) {
    for (const char* own : {"casters", "caster", "udev-rule", "watch", "update"})
        if (command == own) return true;
    return false;
}

bool readWhole(const std::string& path, std::string& bytes, unsigned& mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream s;
    s << in.rdbuf();
    bytes = s.str();
    mode = static_cast<unsigned>(st.st_mode & 07777);
    return true;
}

} // namespace

std::optional<Result> WatchClient::run(const Request& request, Environment& env) {
    if (request.words.empty() || needsNoWatch(request.words.front())) return std::nullopt;
    int fd = -1;
    for (const std::string& path : WatchSocketPath::candidates(env.portName))
        if ((fd = connectLocal(path)) >= 0) break;
    if (fd < 0) return std::nullopt;

    Request q = request;
    std::vector<WatchWire::File> files;
    const bool profile = q.words.size() == 3 && q.words[0] == "profile";
    std::string exportTo;
    if (profile && q.words[1] == "apply") {
        WatchWire::File f;
        f.word = 2;
        // A file that cannot be read here goes on as it is: the command says so as it would.
        if (readWhole(q.words[2], f.bytes, f.mode)) files.push_back(std::move(f));
    } else if (profile && q.words[1] == "export") {
        exportTo = q.words[2];
        q.words.pop_back();
    }
    Result r;
    std::string reply;
    const bool answered = writeFrame(fd, WatchWire::encodeRequest(q, files)) &&
                          readFrame(fd, reply, -1) && WatchWire::decodeResult(reply, r);
    ::close(fd);
    if (!answered)
        return fail(kPortOrModem,
                    "The watch on " + env.portName + " ended before it answered the command.");
    if (!exportTo.empty() && r.status == kDone && env.formatJson) {
        // A file with passwords is for its owner only.
        const bool secrets = q.options.count("secrets") != 0;
        std::string why;
        if (!env.writer->replaceExplained(exportTo, env.formatJson(r.data),
                                          secrets ? 0600 : FileWriter::kKeepMode, why))
            return fail(kPortOrModem, "The profile " + exportTo + " cannot be written: " + why);
        return done("Profile written to " + exportTo);
    }
    return r;
}

} // namespace tessadorn::cli
