#include "modem/Receivers.h"

#include "platform/SerialPort.h"

#include <array>
#include <cctype>

namespace tessadorn {

namespace {

constexpr std::array<ReceiverRow, 5> kReceiverRows = {{
    // make, type, dialog name, rate, ends auto, keeps caster, polled, position, second value
    {GpsReceiver::Kv318, "KV-318", "HALVIK KV-318", kBaud9600, true, false, false, true,
     ReceiverChoice::Nothing},
    {GpsReceiver::Trimble, "TRIMBLE", "TRIMBLE", kBaud38400, false, true, true, true,
     ReceiverChoice::Port},
    {GpsReceiver::Wavecom, "WAVECOM", "WAVECOM EMU", -1, true, false, false, true,
     ReceiverChoice::Rate},
    {GpsReceiver::Unknown, "UNKNOWN", "UNKNOWN", -1, false, true, true, false,
     ReceiverChoice::Rate},
    {GpsReceiver::Topcon, "TOPCON", "TOPCON", kBaud115200, false, true, false, true,
     ReceiverChoice::Nothing},
}};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::span<const ReceiverRow> receivers() {
    return kReceiverRows;
}

const ReceiverRow& receiverRow(GpsReceiver make) {
    return kReceiverRows[static_cast<std::size_t>(make)];
}

const ReceiverRow* receiverByType(std::string_view type) {
    for (const ReceiverRow& row : kReceiverRows)
        if (row.type == type) return &row;
    return nullptr;
}

const ReceiverRow* receiverByName(std::string_view name) {
    for (const ReceiverRow& row : kReceiverRows)
        if (sameLetters(name, row.type) || sameLetters(name, row.dialogName)) return &row;
    return nullptr;
}

std::string_view receiverType(GpsReceiver make) {
    return receiverRow(make).type;
}

bool keepsCasterConnection(std::string_view gpsType) {
    const ReceiverRow* row = receiverByType(gpsType);
    return row && row->keepsCaster;
}

bool offersAutoConnect(std::string_view gpsType) {
    const ReceiverRow* row = receiverByType(gpsType);
    return !row || !row->endsAutoConnect;
}

bool pollsConnection(std::string_view gpsType) {
    const ReceiverRow* row = receiverByType(gpsType);
    return row && row->polled;
}

} // namespace tessadorn
