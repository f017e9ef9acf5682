#include "console/MonitorThread.h"

#include "console/ReplyParsers.h"
#include "link/Protocol.h"

namespace tessadorn {

namespace p = protocol;

std::string connectingAtText(int baudIndex) {
    if (baudIndex < 0 || baudIndex > 4) return {};
    return "Connecting at " + std::to_string(baudRateForIndex(baudIndex)) + "...";
}

MonitorThread::MonitorThread(Shared shared, StatusDisplay& display, MonitorHooks& hooks)
    : m_Shared(shared), m_Tx(shared.m_Serial, shared.m_Reading), m_Display(display),
      m_Hooks(hooks) {}

int MonitorThread::capture(std::string_view cmd, std::string_view start, std::string& out,
                           std::size_t capacity, int resends, int readLimit) {
    return m_Tx.SendCapture(cmd, start, p::kTokOkLine, out, capacity, resends, readLimit);
}

void MonitorThread::run() {
    m_Shared.gate.attach();
    if (!m_Shared.m_Serial.Open(m_Shared.m_BaudIndex.load())) {
        m_Shared.gate.detach();
        m_Hooks.portError();
        return;
    }
    while (running()) {
        if (!identify()) break;
        if (!configure()) continue; // unparsable configuration: identify again
        if (m_Shared.m_Mode.load() == kModeServer)
            serverBranch();
        else
            clientBranch();
        if (!running()) break;
        m_Display.firmwareLine(m_Shared.m_Device.read());
        poll();
        if (!running()) break;
        linkLost();
    }
    m_Shared.gate.detach();
}

bool MonitorThread::identify() {
    // When nothing answers, start over on the port as last opened.
    for (;;) {
        Found found = tryHeldRate();
        if (found == Found::No) found = scanRates();
        if (found == Found::Yes) return true;
        if (found == Found::Stopping || !running()) return false;
    }
}

// A first try at the held rate, written raw.
MonitorThread::Found MonitorThread::tryHeldRate() {
    const int held = m_Shared.m_BaudIndex.load();
    if (const auto text = connectingAtText(held); !text.empty()) m_Display.statusLine(text);
    if (!pauseCheckpoint()) return Found::Stopping;
    m_Shared.m_Serial.WriteCommand(p::kDevice);
    if (!m_Shared.m_Serial.WaitTokenLimited(p::kTokDevice, 2048)) return Found::No;
    // After a scan that found nothing the port is open at the rate it was last opened at, by
    // the scan or by a dialog that reopened it since; a modem that answers there now is found
    // at that rate (never at "no rate", which would send the worker round this try for as long
    // as the modem answers).
    if (held < 0) m_Shared.m_BaudIndex = m_Shared.m_Serial.OpenIndex();
    m_Hooks.rateFound(m_Shared.m_BaudIndex.load());
    return Found::Yes;
}

// Every rate in turn, 9600 first.
MonitorThread::Found MonitorThread::scanRates() {
    m_Shared.m_BaudIndex = -1;
    for (int index = 0; index <= 4; ++index) {
        m_Display.statusLine(connectingAtText(index));
        if (!pauseCheckpoint()) return Found::Stopping;
        m_Shared.m_Serial.Close();
        m_Shared.clock.sleepMs(kScanPauseMs);
        if (!m_Shared.m_Serial.Open(index)) continue;
        m_Shared.clock.sleepMs(kScanPauseMs);
        if (m_Tx.SendWaitTokenLimited(p::kDevice, p::kTokDevice, 1, 2048)) {
            m_Shared.m_BaudIndex = index;
            m_Hooks.rateFound(index);
            return Found::Yes;
        }
    }
    return Found::No;
}

bool MonitorThread::configure() {
    m_Display.statusLine("Starting Communication...");
    if (!pauseCheckpoint()) return false;
    std::string reply;
    if (!capture(p::kGetCfg, p::kReplyGetCfg, reply, kReplyCapacity, 5, 500)) return false;
    // The parser writes nothing unless the reply has all its fields.
    int mode = -1;
    bool parsed = false;
    m_Shared.m_Device.update(
        [&](DeviceConfig::Values& d) { parsed = replies::parseConfiguration(reply, d, mode); });
    if (!parsed) return false;
    m_Shared.m_Mode = mode;
    m_Hooks.configurationParsed();
    return true;
}

void MonitorThread::serverBranch() {
    m_Display.serverModelLines(m_Hooks.panelInputs());
    std::string reply;
    if (pauseCheckpoint() && capture(p::kGetGga, p::kReplyGetGga, reply, kReplyCapacity, 5, 500)) {
        m_Shared.m_Device.update([&](auto& d) { replies::parsePositionSource(reply, d); });
    }
    if (pauseCheckpoint() && capture(p::kGetBrd, p::kReplyGetBrd, reply, kReplyCapacity, 5, 500)) {
        m_Shared.m_Device.update([&](auto& d) { replies::parseBroadcast(reply, d); });
    }
    if (pauseCheckpoint() && capture(p::kIp, p::kReplyIp, reply, kServerIpCapacity, 5, 500)) {
        m_Shared.m_Device.update([&](auto& d) { d.ServerIp = reply; });
        m_Display.serverAddressLines(m_Hooks.panelInputs());
    }
    if (!running()) return;
    m_Shared.m_DeviceReady = 1;
    m_Display.serverReadyFace(m_Hooks.panelInputs());
}

void MonitorThread::clientBranch() {
    m_Display.clientStart();
    std::string reply;
    if (pauseCheckpoint() && capture(p::kGetGga, p::kReplyGetGga, reply, kReplyCapacity, 5, 500)) {
        m_Shared.m_Device.update([&](auto& d) {
            if (replies::parsePositionSource(reply, d) && d.GgaMode == "MANUAL")
                d.GpsType = "UNKNOWN";
        });
    }
    if (panel::casterGpsType(m_Shared.m_Device.read().GpsType)) {
        if (pauseCheckpoint()) {
            m_Shared.m_AutoConnect =
                m_Tx.SendWaitEither(p::kAutoQuery, p::kTokOn, p::kTokOff, 5, 2048);
        }
        if (pauseCheckpoint()) {
            m_Shared.m_StConnect =
                m_Tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, 5, 2048);
        }
        if (pauseCheckpoint() &&
            capture(p::kAddrServer, p::kReplyAddrServer, reply, kReplyCapacity, 5, 500)) {
            bool parsed = false;
            m_Shared.m_Device.update(
                [&](auto& d) { parsed = replies::parseStoredCaster(reply, d); });
            if (parsed) m_Hooks.storedCasterParsed();
        }
    }
    if (!running()) return;
    m_Shared.m_DeviceReady = 1;
    m_Shared.m_StConnect =
        m_Display.clientReadyFace(m_Hooks.panelInputs(), m_Shared.m_AutoConnect.load());
}

void MonitorThread::drawApnState(int apnReady, int simState, int signal) {
    m_Display.apnLine(apnReady, simState);
    if (m_Shared.m_Mode.load() == kModeServer && (simState == 0 || apnReady == 0 || signal == 0)) {
        m_Display.serverReset();
        m_Shared.m_Device.update([](auto& d) { d.ServerIp = "null\r\n"; });
    }
}

void MonitorThread::poll() {
    int signal = -1, shownSignal = -10, apnReady = 0, simState = 0, failures = 0;
    bool lastFailed = false;
    std::string apnReply, signalReply, ip;
    while (running()) {
        bool failed = false;
        // Every turn may be paused, also one that only redraws (a SIM state the modem reports
        // as neither missing nor ready).
        if (!pauseCheckpoint()) return;
        // APN and SIM state, while anything is still missing.
        if (simState == 0 || apnReady == 0 || signal == 0) {
            if (!capture(p::kApnQuery, p::kReplyApn, apnReply, kApnReplyCapacity, 0, 2048) ||
                !replies::parseApnState(apnReply, apnReady, simState)) {
                lastFailed = true;
            } else {
                lastFailed = false;
                failures = 0;
                if (simState == 0) signal = -1;
                drawApnState(apnReady, simState, signal);
            }
        }
        // Signal level, and what each mode watches besides.
        if (simState == kSimReady) {
            if (lastFailed) {
                failed = true;
            } else if (!pauseCheckpoint()) {
                return;
            } else if (!capture(p::kSignalOnce, p::kReplySignal, signalReply, kSignalReplyCapacity,
                                0, 2048) ||
                       !replies::readDecimal(signalReply)) {
                failed = true; // no reply, or a level that is no number
            } else {
                lastFailed = false;
                failures = 0;
                signal = *replies::readDecimal(signalReply);
                const auto device = m_Shared.m_Device.read();
                if (m_Shared.m_Mode.load() == kModeServer) {
                    if (apnReady != 0 && signal != 0 && device.ServerIp == "null\r\n" &&
                        pauseCheckpoint() &&
                        capture(p::kIp, p::kReplyIp, ip, kServerIpCapacity, 0, 2048)) {
                        m_Shared.m_Device.update([&](auto& d) { d.ServerIp = ip; });
                        m_Display.serverAddressLines(m_Hooks.panelInputs());
                    }
                } else if (device.GpsType == "TRIMBLE" || device.GpsType == "UNKNOWN") {
                    if (!pauseCheckpoint()) return;
                    const int state =
                        m_Tx.SendWaitEither(p::kStConnect, p::kTokOn, p::kTokOff, 1, 2048);
                    if (state == 1 && m_Shared.m_StConnect.load() != 1) {
                        m_Shared.m_StConnect = 1;
                        m_Display.connectPictures(true);
                    } else if (state == 2 && m_Shared.m_StConnect.load() != 2) {
                        m_Display.connectPictures(false);
                        m_Shared.m_StConnect = 2;
                    } else if (state == 0) {
                        failed = true;
                    }
                }
            }
        } else if (lastFailed) {
            failed = true;
        }
        if (!failed) {
            // Redraw, then wait for the next poll.
            drawApnState(apnReady, simState, signal);
            if (signal != shownSignal) {
                m_Display.signalPicture(signal);
                shownSignal = signal;
            }
            m_Shared.clock.sleepMs(kPollMs);
        } else {
            // A failed poll; three in a row and the modem is lost.
            lastFailed = false;
            if (++failures >= kFailedPollLimit) return;
        }
        // Another part of the program may have sent the modem away (a role change).
        if (m_Shared.m_DeviceReady.load() != 1) return;
    }
}

void MonitorThread::linkLost() {
    m_Shared.m_DeviceReady = 0;
    m_Display.linkLost();
    m_Shared.m_Mode = -1;
    m_Shared.m_Device.update([](DeviceConfig::Values& d) {
        for (auto* s :
             {&d.ServerIp, &d.FirmwareVersion, &d.SerialNumber, &d.Imei, &d.ApnName, &d.ApnUser,
              &d.ApnPassword, &d.GgaLatitude, &d.GgaLongitude, &d.GgaMode, &d.GpsType, &d.GpsPort})
            s->clear();
    });
}

} // namespace tessadorn
