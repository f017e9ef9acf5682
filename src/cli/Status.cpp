#include "cli/Facts.h"
#include "cli/Modem.h"
#include "cli/Verbs.h"
#include "cli/WatchReport.h"

#include "modem/DeviceSettings.h"
#include "modem/StatusQueries.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortFinder.h"
#include "platform/TextCodec.h"
#include "store/TextInput.h"

namespace tessadorn::cli {

namespace {

// The modem's "null" (nothing set) as JSON's null.
Value modemText(const std::string& device) {
    return device == DeviceConfig::kNone ? Value::null() : Value::str(deviceToUtf8(device));
}

Value number(const std::string& device) {
    const auto value = text_input::parseDecimal(device);
    return value ? Value::num(*value) : Value::null();
}

// The base's address reply without its line end; "null" (no address) as nothing.
Value address(std::string ip) {
    while (!ip.empty() && (ip.back() == '\r' || ip.back() == '\n'))
        ip.pop_back();
    return ip.empty() || ip == DeviceConfig::kNone ? Value::null() : modemText(ip);
}

} // namespace

Result status(const Request& q, Environment& env, Opened& opened) {
    if (q.words.size() != 1) return fail(kBadInput, "status takes no arguments");
    Result r;
    Modem* modem = opened.modem(r);
    if (!modem) return r;
    ModemSession& session = modem->session();
    // One turn of the window's poll: the APN and SIM state, and the signal once the SIM is ready.
    StatusQueries queries(session);
    std::optional<PolledValues> polled;
    if (const auto state = queries.readApnState()) {
        polled = PolledValues{-1, state->simState, state->apnReady, 0};
        if (state->simState == kSimReady)
            if (const auto level = queries.readSignal()) polled->signal = *level;
    }
    Result out = statusOf(session, polled, env.portName);
    out.messages.insert(out.messages.begin(), r.messages.begin(), r.messages.end());
    return out;
}

Result statusOf(ModemSession& session, const std::optional<PolledValues>& polled,
                const std::string& port) {
    Result r;
    Value sim = Value::null(), signal = Value::null(), apnReady = Value::null();
    if (polled) {
        sim = facts::sim(polled->simState);
        apnReady = facts::apnReady(polled->apnReady);
        if (polled->simState == kSimReady && polled->signal >= 0)
            signal = Value::num(polled->signal);
    }
    const auto d = session.device().read();
    const bool base = session.mode() == kModeServer;
    const int st = session.stConnect();
    Value caster = Value::object();
    caster.set("host", modemText(d.CasterHost))
        .set("port", facts::port(d.CasterPort))
        .set("mountpoint", modemText(d.CasterMountpoint))
        .set("user", modemText(d.CasterUser))
        .set("kind", d.CasterKind == "1"   ? Value::str("tessadorn")
                     : d.CasterKind == "0" ? Value::str("caster")
                                           : Value::null());
    Value out = Value::object();
    out.set("serial", modemText(d.SerialNumber))
        .set("firmware", modemText(d.FirmwareVersion))
        .set("imei", modemText(d.Imei))
        .set("role", Value::str(base ? "base" : "rover"))
        .set("port", Value::str(port))
        .set("rate", facts::rate(session.baudIndex()))
        .set("sim", sim)
        .set("apn_ready", apnReady)
        .set("signal", signal)
        .set("apn",
             Value::object().set("name", modemText(d.ApnName)).set("user", modemText(d.ApnUser)))
        .set("connection", facts::connection(st))
        .set("auto_connect", Value::boolean(session.autoConnect() == 1))
        .set("caster", std::move(caster))
        .set("gps", Value::object()
                        .set("mode", modemText(d.GgaMode))
                        .set("receiver", modemText(d.GpsType))
                        .set("port", modemText(d.GpsPort))
                        .set("latitude", number(d.GgaLatitude))
                        .set("longitude", number(d.GgaLongitude)))
        .set("relay", Value::object()
                          .set("on", Value::boolean(relayIsOn(d.BroadcastOn)))
                          .set("host", modemText(d.BroadcastHost))
                          .set("port", facts::port(d.BroadcastPort)));
    if (base) out.set("address", address(d.ServerIp));
    std::vector<std::vector<std::string>> rows;
    // A coded fact (the SIM, the connection) by its name.
    for (const auto& [name, value] : out.members)
        rows.push_back({name + ":", value.get("code") && value.get("name")
                                        ? value.get("name")->line()
                                        : value.line()});
    r.text = alignedTable(rows);
    r.data = std::move(out);
    return r;
}

Result udevRule(const Request& q, Environment&, Opened&) {
    if (q.words.size() != 1) return fail(kBadInput, "udev-rule takes no arguments");
    std::string why;
    const std::string rules = SerialPortFinder::udevRules(SerialPortFinder().devices(), why);
    if (rules.empty()) return fail(kPortOrModem, why);
    Result r;
    r.text = rules;
    r.data = Value::object().set("rules", Value::str(rules));
    return r;
}

} // namespace tessadorn::cli
