#include "modem/CasterSync.h"

#include "platform/DebugOutput.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace tessadorn::caster_sync {

namespace {

// A value as the caster list file gives it back: at most 49 bytes.
std::string asFileValue(const std::string& value) {
    return value.substr(0, CasterDocument::kMaxValue);
}

} // namespace

bool syncApn(const DeviceConfig::Values& device, CasterDocument& doc) {
    // Compared as the file will hold them, or a longer value would differ at every start.
    const std::string apn = asFileValue(device.ApnName);
    const std::string user = asFileValue(device.ApnUser);
    const std::string password = asFileValue(device.ApnPassword);
    if (apn == doc.apn && user == doc.carrierUser && password == doc.carrierPassword) return false;
    // The file keeps its block when the modem's would not read back the same from it.
    for (const std::string* value : {&apn, &user, &password}) {
        if (!CasterDocument::fileCanCarry(*value)) {
            debugLine("APN of the modem not taken into the caster list: a value holds a \"<\"\r\n");
            return false;
        }
    }
    doc.apn = apn;
    doc.carrierUser = user;
    doc.carrierPassword = password;
    doc.carrier = "yes";
    return true;
}

bool matchStoredCaster(const DeviceConfig::Values& d, CasterDocument& doc) {
    if (d.CasterHost == DeviceConfig::kNone || d.CasterPort == DeviceConfig::kNone) return false;
    const int count = std::min(doc.count, CasterDocument::kMaxEntries);
    for (int i = 0; i < count; ++i) {
        const CasterEntry& e = doc.entries[i];
        const bool match =
            d.CasterKind == "0"
                ? e.ip == d.CasterHost && e.Tessadorn.value() == ServerKind::Caster &&
                      e.port == d.CasterPort && e.user == d.CasterUser &&
                      e.Password == d.CasterPassword
                : e.ip == d.CasterHost && e.Tessadorn.value() == ServerKind::Tessadorn &&
                      e.port == d.CasterPort;
        if (!match) continue;
        doc.server = std::to_string(i);
        doc.user = d.CasterUser;
        doc.password = d.CasterPassword;
        return true;
    }
    return false;
}

bool takeApn(const DeviceConfig::Values& device, CasterStore& store) {
    std::lock_guard lock(store.mutex());
    return syncApn(device, store);
}

bool takeStoredCaster(const DeviceConfig::Values& device, CasterStore& store) {
    std::lock_guard lock(store.mutex());
    return matchStoredCaster(device, store);
}

} // namespace tessadorn::caster_sync
