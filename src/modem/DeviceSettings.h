#pragma once

#include "modem/ModemSession.h"
#include "modem/Position.h"
#include "modem/Receivers.h"

#include <optional>
#include <string_view>

namespace tessadorn {

// The baud index the modem's serial port runs at once a make is chosen that fixes it (KV-318,
// TRIMBLE, TOPCON); nothing for the makes whose rate the user chooses.
std::optional<int> receiverLinkRate(GpsReceiver make);

// The relay broadcast flag as the modem reports it, read as a decimal number: blanks, a sign and
// the digits that follow; no digits read as off.
bool relayIsOn(std::string_view flag);

// The relay caster the modem's broadcast goes to.
std::string_view relayCasterHost();
std::string_view relayCasterPort();

// The modem's settings: APN, GPS position source, serial rate, relay broadcast. Each command is
// sent with its resends and read limit; what the modem accepted is written into the session's
// values.
class DeviceSettings {
  public:
    static constexpr int kApnResends = 5;
    static constexpr int kGpsResends = 2;
    static constexpr int kRelayResends = 2;
    static constexpr int kReadLimit = 2048;
    static constexpr std::size_t kDrainThreshold = 64;

    explicit DeviceSettings(ModemSession& session);

    // "APN", "USER", "PASSWORD" (each sent even when the one before was refused), then "SAVE"
    // and "RESET": the modem restarts with them. False when a value or the save was refused; a
    // restart the modem does not confirm still counts.
    bool setApn(std::string_view name, std::string_view user, std::string_view password);

    // Empties a busy line before the position source commands.
    void drain();
    // "#SETGGA,AUTO,<make>,COMn" (`trimblePort` 1 to 3 for TRIMBLE); the session's values take
    // the new source. Automatic connection ends for KV-318 and WAVECOM receivers.
    bool setReceiver(GpsReceiver make, int trimblePort = 1);
    // "#SETGGA,MANUAL,lat,lon"; refused (and nothing sent) outside +-90 and +-180.
    bool setManualPosition(double latitude, double longitude);
    // "#COM <rate>": the modem's serial port moves to the rate; the caller moves the link after.
    bool setModemRate(int baudIndex);

    // "#SETBRD": the relay broadcast on or off; the session's value follows.
    bool setRelay(bool on);

  private:
    bool send(const Command& command, int resends);

    ModemSession& m_Session;
};

} // namespace tessadorn
