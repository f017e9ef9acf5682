#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// The platform's debug output: one line per event, exactly the text given (the program's lines
// carry their own CR LF). By default lines go to stderr as UTF-8; the program sets a sink that
// writes them to its log file (platform/DebugLogFile.h), and to stderr only with --debug.
//
// debugLine takes UTF-8 text; debugLineDevice takes text in the device's code page
// (a command as it was sent) and converts it.
void debugLine(std::string_view utf8);
void debugLineDevice(std::string_view prefixUtf8, std::string_view deviceText);

// Every later debug line shows `utf8` (a password) as "***", in the log file as on stderr. Texts
// shorter than 3 characters are not hidden: they would blot out common words of every line.
void hideInDebug(std::string_view utf8);
// True when `utf8` holds a text given to hideInDebug (a password on its way to the modem).
bool holdsHiddenText(std::string_view utf8);

using DebugSink = std::function<void(std::string_view utf8)>;
// Replaces the sink (an empty function restores stderr). Returns the previous sink.
DebugSink setDebugSink(DebugSink sink);

// Collects every debug line while it lives; for tests.
class DebugCapture {
  public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::vector<std::string> lines() const;
    // Number of lines equal to `line`.
    int count(std::string_view line) const;
    void clear();

  private:
    mutable std::mutex m_Mutex;
    std::vector<std::string> m_Lines;
    DebugSink m_Previous;
};

} // namespace tessadorn
