#pragma once

#include "platform/DebugOutput.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace tessadorn::bench {

// Sends the program's debug lines to a file (/dev/null by default) the way they go to stderr:
// one write and one flush per line, so that their cost stays in what is measured. An empty
// path keeps stderr. The previous sink comes back when the object goes away.
class DebugFileSink {
  public:
    explicit DebugFileSink(const std::string& path);
    ~DebugFileSink();
    DebugFileSink(const DebugFileSink&) = delete;
    DebugFileSink& operator=(const DebugFileSink&) = delete;

    long lines() const { return m_Lines.load(); }

  private:
    std::FILE* m_File = nullptr;
    std::atomic<long> m_Lines{0};
    DebugSink m_Previous;
    bool m_Installed = false;
};

} // namespace tessadorn::bench
