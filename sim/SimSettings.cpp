#include "SimSettings.h"

#include <charconv>
#include <fstream>
#include <functional>

namespace tessadorn::sim {
namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool toInt(const std::string& text, std::int64_t& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool toBool(const std::string& text, bool& out) {
    if (text == "1" || text == "on" || text == "yes" || text == "true") {
        out = true;
        return true;
    }
    if (text == "0" || text == "off" || text == "no" || text == "false") {
        out = false;
        return true;
    }
    return false;
}

struct Scenario {
    const char* name;
    const char* help;
    std::vector<std::pair<const char*, const char*>> settings;
};

const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> list = {
        {"default", "a registered rover with a fair signal", {}},
        {"base",
         "a registered base broadcasting to the relay caster",
         {{"role", "base"}, {"broadcast", "1"}}},
        {"no-sim",
         "no SIM card: APN never ready, no signal",
         {{"sim", "0"}, {"apn-ready", "0"}, {"signal", "-1"}}},
        {"apn-down",
         "SIM ready but the data connection does not come up",
         {{"apn-ready", "0"}, {"apn-ms", "-1"}}},
        {"weak-signal",
         "signal fading between 1 and 0 and back",
         {{"signal", "1"}, {"event", "5000:signal=0"}, {"event", "9000:signal=1"}}},
        {"in-engine",
         "left in its cellular engine by an update cut short: only an update brings it back",
         {{"in-engine", "1"}}},
        {"connected",
         "a rover with a running caster connection",
         {{"caster", "caster.example.net:2101/DEMO01 demo:demo"},
          {"connected", "1"},
          {"auto", "1"}}},
        {"silent", "a modem that never answers", {{"silent", "1"}}},
        {"noisy", "garbage on the line before every answer", {{"garbage", "\xfe#~\xff"}}},
        {"flaky",
         "the modem restarts on its own after 20 s and is away for 10 s",
         {{"restart-at-ms", "20000"}, {"restart-ms", "10000"}}},
    };
    return list;
}

using Setter = std::function<bool(SimSettings&, const std::string&)>;

Setter text(std::string SimSettings::*field) {
    return [field](SimSettings& s, const std::string& v) {
        s.*field = v;
        return true;
    };
}

Setter flag(bool SimSettings::*field) {
    return [field](SimSettings& s, const std::string& v) { return toBool(v, s.*field); };
}

template <typename Int> Setter number(Int SimSettings::*field, std::int64_t lo, std::int64_t hi) {
    return [field, lo, hi](SimSettings& s, const std::string& v) {
        std::int64_t n = 0;
        if (!toInt(v, n) || n < lo || n > hi) return false;
        s.*field = static_cast<Int>(n);
        return true;
    };
}

const std::map<std::string, Setter>& setters() {
    constexpr std::int64_t kDay = 86400000;
    static const std::map<std::string, Setter> map = {
        {"role",
         [](SimSettings& s, const std::string& v) {
             if (v != "base" && v != "rover") return false;
             s.base = v == "base";
             return true;
         }},
        {"baud", number(&SimSettings::baudIndex, 0, 4)},
        {"serial", text(&SimSettings::serialNumber)},
        {"firmware", text(&SimSettings::firmwareVersion)},
        {"imei", text(&SimSettings::imei)},
        {"apn", text(&SimSettings::apn)},
        {"apn-user", text(&SimSettings::apnUser)},
        {"apn-password", text(&SimSettings::apnPassword)},
        {"gga-mode",
         [](SimSettings& s, const std::string& v) {
             if (v != "AUTO" && v != "MANUAL") return false;
             s.ggaMode = v;
             return true;
         }},
        {"gps",
         [](SimSettings& s, const std::string& v) {
             for (const char* t : {"KV-318", "TRIMBLE", "WAVECOM", "UNKNOWN", "TOPCON"})
                 if (v == t) {
                     s.gpsType = v;
                     return true;
                 }
             return false;
         }},
        {"gps-port", text(&SimSettings::gpsPort)},
        {"latitude", text(&SimSettings::latitude)},
        {"longitude", text(&SimSettings::longitude)},
        {"broadcast", flag(&SimSettings::broadcastOn)},
        {"broadcast-host", text(&SimSettings::broadcastHost)},
        {"broadcast-port", text(&SimSettings::broadcastPort)},
        {"auto", flag(&SimSettings::autoConnect)},
        {"caster", text(&SimSettings::storedCaster)},
        {"caster-tessadorn", flag(&SimSettings::storedTessadorn)},
        {"connected", flag(&SimSettings::connected)},
        {"ip", text(&SimSettings::ip)},
        {"sim", number(&SimSettings::simState, 0, 9)},
        {"apn-ready", flag(&SimSettings::apnReady)},
        {"signal", number(&SimSettings::signal, -1, 4)},
        {"register-ms", number(&SimSettings::registerMs, -1, kDay)},
        {"apn-ms", number(&SimSettings::apnUpMs, -1, kDay)},
        {"pacing", flag(&SimSettings::pacing)},
        {"reply-delay-ms", number(&SimSettings::replyDelayMs, 0, kDay)},
        {"byte-delay-ms", number(&SimSettings::byteDelayMs, 0, 10000)},
        {"restart-ms", number(&SimSettings::restartMs, 0, kDay)},
        {"connect-ms", number(&SimSettings::connectMs, 0, kDay)},
        {"table-delay-ms", number(&SimSettings::tableDelayMs, 0, kDay)},
        {"network", flag(&SimSettings::network)},
        {"default-table", text(&SimSettings::defaultTable)},
        {"table",
         [](SimSettings& s, const std::string& v) {
             const auto eq = v.find('=');
             if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) return false;
             s.tables[v.substr(0, eq)] = v.substr(eq + 1);
             return true;
         }},
        {"unreachable",
         [](SimSettings& s, const std::string& v) {
             if (v.empty()) return false;
             s.unreachable.push_back(v);
             return true;
         }},
        {"caster-login", text(&SimSettings::casterLogin)},
        {"network-timeout-ms", number(&SimSettings::networkTimeoutMs, 1, 600000)},
        {"engine-baud", number(&SimSettings::engineBaudIndex, 0, 4)},
        {"otap",
         [](SimSettings& s, const std::string& v) {
             if (v != "success" && v != "fail" && v != "error" && v != "silent") return false;
             s.otap = v;
             return true;
         }},
        {"otap-step-ms", number(&SimSettings::otapStepMs, 0, kDay)},
        {"in-engine", flag(&SimSettings::inEngine)},
        {"silent", flag(&SimSettings::silent)},
        {"garbage", text(&SimSettings::garbage)},
        {"refuse",
         [](SimSettings& s, const std::string& v) {
             if (v.empty()) return false;
             s.refused.push_back(v);
             return true;
         }},
        {"restart-at-ms", number(&SimSettings::restartAtMs, -1, kDay)},
        {"restart-after-commands", number(&SimSettings::restartAfterCommands, -1, 1000000)},
        {"drop-at-ms", number(&SimSettings::dropAtMs, -1, kDay)},
        {"drop-after-commands", number(&SimSettings::dropAfterCommands, -1, 1000000)},
    };
    return map;
}

} // namespace

bool applySetting(SimSettings& settings, const std::string& key, const std::string& value,
                  std::string& error) {
    if (key == "scenario") {
        for (const auto& sc : scenarios()) {
            if (value != sc.name) continue;
            for (const auto& [k, v] : sc.settings)
                if (!applySetting(settings, k, v, error)) return false;
            return true;
        }
        error = "unknown scenario \"" + value + "\"";
        return false;
    }
    if (key == "event") {
        const auto colon = value.find(':');
        const auto eq = value.find('=', colon == std::string::npos ? 0 : colon);
        std::int64_t at = 0;
        if (colon == std::string::npos || eq == std::string::npos ||
            !toInt(value.substr(0, colon), at) || at < 0) {
            error = "event \"" + value + "\" is not MS:key=value";
            return false;
        }
        TimedSetting ev{at, value.substr(colon + 1, eq - colon - 1), value.substr(eq + 1)};
        // The value must make sense now, so that a bad event is found at start, not later.
        SimSettings probe = settings;
        if (ev.key == "event" || !applySetting(probe, ev.key, ev.value, error)) {
            if (error.empty()) error = "an event cannot hold an event";
            return false;
        }
        settings.timeline.push_back(std::move(ev));
        return true;
    }
    const auto it = setters().find(key);
    if (it == setters().end()) {
        error = "unknown setting \"" + key + "\"";
        return false;
    }
    if (!it->second(settings, value)) {
        error = "bad value \"" + value + "\" for \"" + key + "\"";
        return false;
    }
    return true;
}

bool loadSettingsFile(const std::string& path, SimSettings& settings, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos) {
            error = path + ":" + std::to_string(number) + ": no '=' in \"" + t + "\"";
            return false;
        }
        if (!applySetting(settings, trim(t.substr(0, eq)), trim(t.substr(eq + 1)), error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}

std::string scenarioNames() {
    std::string text;
    for (const auto& sc : scenarios())
        text += std::string("  ") + sc.name + ": " + sc.help + "\n";
    return text;
}

} // namespace tessadorn::sim
