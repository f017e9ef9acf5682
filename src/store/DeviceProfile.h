#pragma once

#include "platform/FileWriter.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <mutex>
#include <string>

namespace tessadorn {

// The device profile "tessadorn.cfg" (beside the caster list): the baud index at which the
// modem last answered, as one digit '0' to '4'. The modem session owns one; it works on the
// session's m_BaudIndex and m_SavedBaudIndex.
//
// A file of one byte holds the digit; a file of three or more bytes (an older form such as
// "1,3") holds it in its third byte. Anything else gives the defaults: m_BaudIndex 2 (38400)
// and m_SavedBaudIndex -1 (nothing saved, so the next save writes).
//
// SaveProfile may be called from MonitorThread and from the GPS dialog; calls are serialised.
// The file is replaced atomically, so a failed save never leaves it truncated.
class DeviceProfile {
  public:
    static constexpr int kDefaultBaudIndex = kBaud38400;
    static constexpr int kNoSavedIndex = -1;

    // The file at `path`, written through `writer` (which must outlive the profile).
    DeviceProfile(std::atomic<int>& baudIndex, std::atomic<int>& savedBaudIndex, std::string path,
                  FileWriter& writer);

    // Reads the file and sets m_BaudIndex and m_SavedBaudIndex to the index read or to the
    // defaults. 1 when the file was opened, 0 when it could not be.
    int LoadProfile();

    // Makes the file hold `index`. Writes only when `index` differs from m_SavedBaudIndex and
    // then remembers it. 1 = the file is up to date, 0 = it could not be written (or `index`
    // is no baud index); m_SavedBaudIndex is then unchanged, so a later save tries again.
    int SaveProfile(int index);

    const std::string& path() const { return m_Path; }

  private:
    void applyDefaults();

    std::atomic<int>& m_BaudIndex;
    std::atomic<int>& m_SavedBaudIndex;
    std::string m_Path;
    FileWriter& m_Writer;
    std::mutex m_SaveMutex;
};

} // namespace tessadorn
