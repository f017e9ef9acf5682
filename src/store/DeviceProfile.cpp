#include "store/DeviceProfile.h"

#include "platform/DebugOutput.h"

#include <fstream>

namespace tessadorn {

namespace {

constexpr int kHighestBaudIndex = kBaudIndexCount - 1;

bool isBaudDigit(char c) {
    return c >= '0' && c <= '0' + kHighestBaudIndex;
}

} // namespace

DeviceProfile::DeviceProfile(std::atomic<int>& baudIndex, std::atomic<int>& savedBaudIndex,
                             std::string path, FileWriter& writer)
    : m_BaudIndex(baudIndex), m_SavedBaudIndex(savedBaudIndex), m_Path(std::move(path)),
      m_Writer(writer) {}

void DeviceProfile::applyDefaults() {
    m_BaudIndex = kDefaultBaudIndex;
    m_SavedBaudIndex = kNoSavedIndex;
}

int DeviceProfile::LoadProfile() {
    // Opened for reading and writing, as the profile is the program's own file.
    std::fstream file(m_Path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file.is_open()) {
        applyDefaults();
        return 0;
    }
    char bytes[3] = {};
    file.read(bytes, sizeof bytes);
    const std::streamsize got = file.gcount();
    if (file.bad()) {
        applyDefaults();
        return 1;
    }
    char digit = 0;
    if (got == 1)
        digit = bytes[0];
    else if (got == 3)
        digit = bytes[2];
    if (isBaudDigit(digit)) {
        m_BaudIndex = digit - '0';
        m_SavedBaudIndex = digit - '0';
    } else {
        applyDefaults();
    }
    return 1;
}

int DeviceProfile::SaveProfile(int index) {
    std::lock_guard lock(m_SaveMutex);
    if (index == m_SavedBaudIndex) return 1;
    if (index < 0 || index > kHighestBaudIndex) return 0;
    const char digit = static_cast<char>('0' + index);
    std::string reason;
    if (!m_Writer.replaceExplained(m_Path, std::string_view(&digit, 1), FileWriter::kKeepMode,
                                   reason)) {
        debugLine(m_Path + ": could not be written: " + reason + "\r\n");
        return 0;
    }
    m_SavedBaudIndex = index;
    return 1;
}

} // namespace tessadorn
