#include "platform/DebugOutput.h"

#include "platform/TextCodec.h"

#include <algorithm>
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

std::vector<std::string>& secrets() {
    static std::vector<std::string> texts;
    return texts;
}

// The line with every secret as "***" (under the sink's lock).
std::string masked(std::string_view utf8) {
    std::string line(utf8);
    for (const std::string& secret : secrets())
        for (auto at = line.find(secret); at != std::string::npos; at = line.find(secret, at + 3))
            line.replace(at, secret.size(), "***");
    return line;
}

} // namespace

void hideInDebug(std::string_view utf8) {
    if (utf8.size() < 3) return;
    std::lock_guard lock(sinkMutex());
    for (const std::string& secret : secrets())
        if (secret == utf8) return;
    secrets().emplace_back(utf8);
    // Longer first, so that a password holding another one is hidden whole.
    std::sort(secrets().begin(), secrets().end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

bool holdsHiddenText(std::string_view utf8) {
    std::lock_guard lock(sinkMutex());
    return std::any_of(secrets().begin(), secrets().end(), [utf8](const std::string& secret) {
        return utf8.find(secret) != std::string_view::npos;
    });
}

void debugLine(std::string_view text) {
    std::lock_guard lock(sinkMutex());
    const std::string line = secrets().empty() ? std::string(text) : masked(text);
    const std::string_view utf8 = line;
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
