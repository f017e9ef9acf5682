#include "DebugFileSink.h"

namespace tessadorn::bench {

DebugFileSink::DebugFileSink(const std::string& path) {
    if (path.empty()) return;
    m_File = std::fopen(path.c_str(), "w");
    if (!m_File) {
        std::fprintf(stderr, "cannot open %s for the debug lines; they stay on stderr\n",
                     path.c_str());
        return;
    }
    m_Previous = setDebugSink([this](std::string_view line) {
        ++m_Lines;
        std::fwrite(line.data(), 1, line.size(), m_File);
        if (line.empty() || line.back() != '\n') std::fputc('\n', m_File);
        std::fflush(m_File);
    });
    m_Installed = true;
}

DebugFileSink::~DebugFileSink() {
    if (m_Installed) setDebugSink(std::move(m_Previous));
    if (m_File) std::fclose(m_File);
}

} // namespace tessadorn::bench
