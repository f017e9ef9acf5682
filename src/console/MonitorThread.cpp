#include "console/MonitorThread.h"

#include "console/PanelText.h"
#include "modem/ModemSearch.h"
#include "modem/ModemStartup.h"

namespace tessadorn {

MonitorThread::MonitorThread(ModemSession& session, StatusDisplay& display, MonitorHooks& hooks)
    : m_Session(session), m_Queries(session), m_Display(display), m_Hooks(hooks) {}

void MonitorThread::run() {
    PauseGate& gate = m_Session.monitorGate();
    gate.attach();
    if (!m_Session.serial().Open(m_Session.baudIndex())) {
        gate.detach();
        m_Hooks.portError();
        return;
    }
    while (running()) {
        if (!identify()) break;
        if (!startUp()) continue; // unparsable configuration: identify again
        if (!running()) break;
        if (m_Session.mode() == kModeServer)
            serverReady();
        else
            clientReady();
        if (!running()) break;
        m_Display.firmwareLine(m_Session.device().read());
        poll();
        if (!running()) break;
        linkLost();
    }
    gate.detach();
}

bool MonitorThread::identify() {
    ModemSearch search(m_Session,
                       {[this](std::string_view text) { m_Display.statusLine(std::string(text)); },
                        [this] { return pauseCheckpoint(); }, [this] { return running(); },
                        [this] { m_Display.portGone(); }});
    return search.find();
}

bool MonitorThread::startUp() {
    m_Display.statusLine("Starting Communication...");
    if (!pauseCheckpoint()) return false;
    ModemStartup startup(m_Session, m_Hooks.casterList(),
                         {[this] { return pauseCheckpoint(); },
                          [this](int mode) {
                              if (mode == kModeServer)
                                  m_Display.serverModelLines(m_Hooks.panelInputs());
                              else
                                  m_Display.clientStart();
                          },
                          [this] { m_Display.serverAddressLines(m_Hooks.panelInputs()); },
                          [this](const std::string& failure) { m_Hooks.listNotSaved(failure); }});
    return startup.run() == ModemStartup::Outcome::Done;
}

void MonitorThread::serverReady() {
    m_Session.ready();
    m_Display.serverReadyFace(m_Hooks.panelInputs());
}

void MonitorThread::clientReady() {
    m_Session.ready();
    m_Session.connectionState(
        m_Display.clientReadyFace(m_Hooks.panelInputs(), m_Session.autoConnect()));
}

void MonitorThread::drawApnState(int apnReady, int simState, int signal) {
    m_Display.apnLine(apnReady, simState);
    if (m_Session.mode() == kModeServer && (simState == 0 || apnReady == 0 || signal == 0)) {
        m_Display.serverReset();
        m_Session.device().update([](auto& d) { d.ServerIp = DeviceConfig::kNoAddress; });
    }
}

void MonitorThread::poll() {
    int signal = -1, shownSignal = -10, apnReady = 0, simState = 0, failures = 0;
    bool lastFailed = false;
    using OnOff = StatusQueries::OnOff;
    while (running()) {
        bool failed = false;
        // Every turn may be paused, also one that only redraws (a SIM state the modem reports
        // as neither missing nor ready).
        if (!pauseCheckpoint()) return;
        // APN and SIM state, while anything is still missing.
        if (simState == 0 || apnReady == 0 || signal == 0) {
            if (const auto state = m_Queries.readApnState(); !state) {
                lastFailed = true;
            } else {
                apnReady = state->apnReady;
                simState = state->simState;
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
            } else if (const auto level = m_Queries.readSignal(); !level) {
                failed = true; // no reply, or a level that is no number
            } else {
                lastFailed = false;
                failures = 0;
                signal = *level;
                const auto device = m_Session.device().read();
                if (m_Session.mode() == kModeServer) {
                    if (apnReady != 0 && signal != 0 &&
                        device.ServerIp == DeviceConfig::kNoAddress && pauseCheckpoint() &&
                        m_Queries.readServerIp(StatusQueries::Attempt::WhilePolling)) {
                        m_Display.serverAddressLines(m_Hooks.panelInputs());
                    }
                } else if (device.GpsType == "TRIMBLE" || device.GpsType == "UNKNOWN") {
                    if (!pauseCheckpoint()) return;
                    const OnOff state =
                        m_Queries.readConnectionState(StatusQueries::Attempt::WhilePolling);
                    const int shown = m_Session.stConnect();
                    if (state == OnOff::On && shown != ModemSession::kConnectionRunning) {
                        m_Session.connectionState(ModemSession::kConnectionRunning);
                        m_Display.connectPictures(true);
                    } else if (state == OnOff::Off && shown != ModemSession::kConnectionOff) {
                        m_Display.connectPictures(false);
                        m_Session.connectionState(ModemSession::kConnectionOff);
                    } else if (state == OnOff::NoAnswer) {
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
            m_Session.clock().sleepMs(kPollMs);
        } else {
            // A failed poll; three in a row and the modem is lost, at once when its device is
            // gone (no answer can come).
            lastFailed = false;
            if (m_Session.serial().DeviceGone() || ++failures >= kFailedPollLimit) return;
        }
        // Another part of the program may have sent the modem away (a role change).
        if (!m_Session.deviceReady()) return;
    }
}

void MonitorThread::linkLost() {
    m_Session.lost();
    m_Display.linkLost();
    m_Session.device().update([](DeviceConfig::Values& d) {
        for (auto* s :
             {&d.ServerIp, &d.FirmwareVersion, &d.SerialNumber, &d.Imei, &d.ApnName, &d.ApnUser,
              &d.ApnPassword, &d.GgaLatitude, &d.GgaLongitude, &d.GgaMode, &d.GpsType, &d.GpsPort})
            s->clear();
    });
}

} // namespace tessadorn
