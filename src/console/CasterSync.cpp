#include "console/CasterSync.h"

#include "platform/DebugOutput.h"

#include <string>

namespace tessadorn::caster_sync {

bool syncApn(const DeviceConfig::Values& device, CasterDocument& doc) {
    if (device.ApnName == doc.apn && device.ApnUser == doc.carrierUser &&
        device.ApnPassword == doc.carrierPassword)
        return false;
    // The file keeps its block when the modem's would not read back the same from it.
    for (const std::string* value : {&device.ApnName, &device.ApnUser, &device.ApnPassword}) {
        if (!CasterDocument::fileCanCarry(*value)) {
            debugLine("APN of the modem not taken into the caster list: a value holds a \"<\" "
                      "or is longer than the file carries\r\n");
            return false;
        }
    }
    doc.apn = device.ApnName;
    doc.carrierUser = device.ApnUser;
    doc.carrierPassword = device.ApnPassword;
    doc.carrier = "yes";
    return true;
}

bool matchStoredCaster(const DeviceConfig::Values& d, CasterDocument& doc) {
    if (d.CasterHost == "null" || d.CasterPort == "null") return false;
    const int count = std::min(doc.count, CasterDocument::kMaxEntries);
    for (int i = 0; i < count; ++i) {
        const CasterEntry& e = doc.entries[i];
        const bool match =
            d.CasterKind == "0"
                ? e.ip == d.CasterHost && e.Tessadorn == "0" && e.port == d.CasterPort &&
                      e.user == d.CasterUser && e.Password == d.CasterPassword
                : e.ip == d.CasterHost && e.Tessadorn == "1" && e.port == d.CasterPort;
        if (!match) continue;
        doc.server = std::to_string(i);
        doc.user = d.CasterUser;
        doc.password = d.CasterPassword;
        return true;
    }
    return false;
}

} // namespace tessadorn::caster_sync
