#include "platform/DebugOutput.h"

#include "platform/TextCodec.h"

#include <cstdio>

namespace tessadorn {
namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

DebugSink& currentSink() {
    static DebugSink sink;
    return sink;
}

} // namespace

void debugLine(std::string_view utf8) {
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(utf8);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    if (utf8.empty() || utf8.back() != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
}

void debugLineDevice(std::string_view prefixUtf8, std::string_view deviceText) {
    std::string line(prefixUtf8);
    line += deviceToUtf8(deviceText);
    debugLine(line);
}

DebugSink setDebugSink(DebugSink sink) {
    std::lock_guard lock(sinkMutex());
    DebugSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

DebugCapture::DebugCapture() {
    m_Previous = setDebugSink([this](std::string_view line) {
        std::lock_guard lock(m_Mutex);
        m_Lines.emplace_back(line);
    });
}

DebugCapture::~DebugCapture() {
    setDebugSink(std::move(m_Previous));
}

std::vector<std::string> DebugCapture::lines() const {
    std::lock_guard lock(m_Mutex);
    return m_Lines;
}

int DebugCapture::count(std::string_view line) const {
    std::lock_guard lock(m_Mutex);
    int n = 0;
    for (const auto& l : m_Lines)
        if (l == line) ++n;
    return n;
}

void DebugCapture::clear() {
    std::lock_guard lock(m_Mutex);
    m_Lines.clear();
}

} // namespace tessadorn
