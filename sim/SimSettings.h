#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessadorn::sim {

// A change of the modem's state at a moment after power-on: "MS:key=value" applies the setting
// `key` (any key below) at MS milliseconds.
struct TimedSetting {
    std::int64_t atMs = 0;
    std::string key;
    std::string value;
};

// Everything that shapes the simulated modem: its stored state at power-on, its timing and the
// faults it shows. Every field has a key of the same meaning for settings files and options
// (see applySetting); the defaults make a rover with a SIM, an APN and a fair signal.
struct SimSettings {
    // ---- Identity and stored state ----
    bool base = false; // "role": base or rover
    int baudIndex = 2; // "baud": rate the correction firmware listens at
    std::string serialNumber = "TD0412087";
    std::string firmwareVersion = "3.12";
    std::string imei = "357041060012345";
    std::string apn = "internet.example";
    std::string apnUser;
    std::string apnPassword;
    std::string ggaMode = "AUTO";       // "gga-mode": AUTO or MANUAL
    std::string gpsType = "TRIMBLE";    // "gps"
    std::string gpsPort = "COM1";       // "gps-port"
    std::string latitude = "41.387400"; // "latitude", "longitude": manual position
    std::string longitude = "2.168600";
    bool broadcastOn = false;        // "broadcast"
    std::string broadcastHost;       // "broadcast-host" (empty: the relay caster)
    std::string broadcastPort;       // "broadcast-port" (empty: the relay port)
    bool autoConnect = false;        // "auto"
    std::string storedCaster;        // "caster": "host:port/mount user:password" or empty
    bool storedTessadorn = false;    // "caster-tessadorn": the stored caster is another modem
    bool connected = false;          // "connected": a caster connection is running
    std::string ip = "100.72.18.41"; // "ip": address while the APN is up

    // ---- Cellular state ----
    int simState = 5;      // "sim": 0 no SIM, 5 ready, others while registering
    bool apnReady = true;  // "apn-ready"
    int signal = 3;        // "signal": -1 (none) .. 4
    int registerMs = 1000; // "register-ms": SIM ready this long after a start
    int apnUpMs = 2500;    // "apn-ms": APN ready this long after a start

    // ---- Timing ----
    bool pacing = true;     // "pacing": output at the line rate (10 bits a byte)
    int replyDelayMs = 20;  // "reply-delay-ms": from a command's end to its answer
    int byteDelayMs = 0;    // "byte-delay-ms": extra delay per output byte
    int restartMs = 3000;   // "restart-ms": silence while the modem restarts
    int connectMs = 1200;   // "connect-ms": offline caster connection time
    int tableDelayMs = 400; // "table-delay-ms": offline caster answer time

    // ---- Caster access ----
    bool network = false;                      // "network": real NTRIP client over TCP
    std::string defaultTable;                  // "default-table": table file for any other caster
    std::map<std::string, std::string> tables; // "table": HOST[:PORT]=FILE
    std::vector<std::string> unreachable;      // "unreachable": HOST[:PORT] that never answer
    std::string casterLogin;                   // "caster-login": user:password the casters accept
    int networkTimeoutMs = 5000;               // "network-timeout-ms"

    // ---- Cellular engine and over-the-air update ----
    int engineBaudIndex = 4;      // "engine-baud": rate of the engine's AT interface
    std::string otap = "success"; // "otap": success, fail, error or silent
    int otapStepMs = 800;         // "otap-step-ms": time between progress lines
    bool inEngine = false;        // "in-engine": powers on in the engine (an update cut short)

    // ---- Faults ----
    bool silent = false;              // "silent": never answers
    std::string garbage;              // "garbage": bytes sent before every answer
    std::vector<std::string> refused; // "refuse": commands starting so are refused
    std::int64_t restartAtMs = -1;    // "restart-at-ms": an unasked restart at that moment
    int restartAfterCommands = -1;    // "restart-after-commands"
    std::int64_t dropAtMs = -1;       // "drop-at-ms": the link drops (runner only)
    int dropAfterCommands = -1;       // "drop-after-commands": the link drops (runner only)

    std::vector<TimedSetting> timeline; // "event": MS:key=value
};

// Applies one setting by key. Returns false, with a reason in `error`, for an unknown key or a
// value that does not fit. "scenario" applies a named set of settings (see scenarioNames()).
bool applySetting(SimSettings& settings, const std::string& key, const std::string& value,
                  std::string& error);

// Reads "key = value" lines; blank lines and lines starting with '#' are skipped.
bool loadSettingsFile(const std::string& path, SimSettings& settings, std::string& error);

// The named scenarios, one per line with what they do, for --help.
std::string scenarioNames();

} // namespace tessadorn::sim
