#pragma once

#include "platform/FileWriter.h"

#include <optional>
#include <string>

namespace tessadorn {

// The rate each modem last answered at, by its port, in "tessadorn.ports" beside tessadorn.cfg
// (which keeps the window's one rate, its format unchanged). One line a port: its stable name
// (the /dev/serial/by-id link where the adapter has one, else the path given) and the index of
// the rate (0 9600 ... 4 115200). A second modem in the same folder then costs no search.
//
// A file this program cannot read (another user's, a line it did not write) is never replaced:
// the other ports' rates in it would be lost. It is read as holding no rate, and remember()
// says why it was left as it is.
class PortRates {
  public:
    PortRates(std::string path, FileWriter& writer) : m_Path(std::move(path)), m_Writer(writer) {}

    // The rate index last found on `port`, if any.
    std::optional<int> rateFor(const std::string& port) const;
    // Remembers `index` for `port` (under the file's lock, so that commands on other ports
    // sharing the folder keep their lines). False when the file was not written; `why`, when
    // given, then says why for the user.
    bool remember(const std::string& port, int index, std::string* why = nullptr);

    // The port's /dev/serial/by-id name when one links to it, else `port` as given.
    static std::string stableName(const std::string& port);

  private:
    // The file's lines, or nothing (and the reason) when it cannot be read or was damaged; a
    // missing file holds no lines.
    std::optional<std::string> load(std::string& why) const;

    std::string m_Path;
    FileWriter& m_Writer;
};

} // namespace tessadorn
