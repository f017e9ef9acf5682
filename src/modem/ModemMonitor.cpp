#include "modem/ModemMonitor.h"

#include "modem/ModemSearch.h"
#include "modem/ModemStartup.h"
#include "modem/Receivers.h"

namespace tessadorn {

ModemMonitor::ModemMonitor(ModemSession& session, CasterStore& casterList, Face face,
                           std::vector<MonitorObserver*> observers)
    : m_Session(session), m_CasterList(casterList), m_Queries(session), m_Face(std::move(face)),
      m_Observers(std::move(observers)) {}

void ModemMonitor::run() {
    PauseGate& gate = m_Session.monitorGate();
    gate.attach();
    if (!m_Session.serial().Open(m_Session.baudIndex())) {
        gate.detach();
        // A program that closes before the first open opens nothing: that is no port error.
        if (!m_Session.closing()) call(m_Face.portError);
        return;
    }
    while (running()) {
        if (!identify()) break;
        if (!startUp()) continue; // unparsable configuration: identify again
        if (!running()) break;
        m_Session.ready();
        call(m_Face.ready);
        if (!running()) break;
        announceFound();
        const auto reason = poll();
        if (!running() || !reason) break;
        linkLost(*reason);
    }
    gate.detach();
}

bool ModemMonitor::identify() {
    ModemSearch search(m_Session,
                       {[this](std::string_view text) { call(m_Face.statusLine, text); },
                        [this] { return pauseCheckpoint(); }, [this] { return running(); },
                        [this] { call(m_Face.portGone); }});
    return search.find();
}

bool ModemMonitor::startUp() {
    call(m_Face.statusLine, std::string_view("Starting Communication..."));
    if (!pauseCheckpoint()) return false;
    ModemStartup startup(m_Session, m_CasterList,
                         {[this] { return pauseCheckpoint(); }, m_Face.roleKnown,
                          m_Face.serverAddressRead, m_Face.listNotSaved});
    return startup.run() == ModemStartup::Outcome::Done;
}

void ModemMonitor::announceFound() {
    const auto d = m_Session.device().read();
    const ModemFacts facts{d.SerialNumber, d.FirmwareVersion, m_Session.mode(),
                           m_Session.baudIndex()};
    for (MonitorObserver* o : m_Observers)
        o->found(facts);
}

void ModemMonitor::apnState(int apnReady, int simState, int signal) {
    call(m_Face.apnState, apnReady, simState);
    if (m_Session.mode() == kModeServer && (simState == 0 || apnReady == 0 || signal == 0)) {
        call(m_Face.serverReset);
        m_Session.device().update([](auto& d) { d.ServerIp = DeviceConfig::kNoAddress; });
    }
}

std::optional<LostReason> ModemMonitor::poll() {
    int signal = -1, shownSignal = -10, apnReady = 0, simState = 0, failures = 0;
    bool lastFailed = false;
    // The bytes read by the end of the first of a run of failed polls (which may still take
    // what was left of an earlier answer): none after it, and the modem went silent.
    std::uint64_t heardByFirstFailure = 0;
    using OnOff = StatusQueries::OnOff;
    while (running()) {
        bool failed = false;
        // Every turn may be paused, also one that only redraws (a SIM state the modem reports
        // as neither missing nor ready).
        if (!pauseCheckpoint()) return std::nullopt;
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
                apnState(apnReady, simState, signal);
            }
        }
        // Signal level, and what each role watches besides.
        if (simState == kSimReady) {
            if (lastFailed) {
                failed = true;
            } else if (!pauseCheckpoint()) {
                return std::nullopt;
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
                        m_Queries.readServerIp(StatusQueries::Attempt::WhilePolling))
                        call(m_Face.serverAddressRead);
                } else if (pollsConnection(device.GpsType)) {
                    if (!pauseCheckpoint()) return std::nullopt;
                    const OnOff state =
                        m_Queries.readConnectionState(StatusQueries::Attempt::WhilePolling);
                    const int shown = m_Session.stConnect();
                    if (state == OnOff::On && shown != ModemSession::kConnectionRunning) {
                        m_Session.connectionState(ModemSession::kConnectionRunning);
                        call(m_Face.connectionChanged, true);
                    } else if (state == OnOff::Off && shown != ModemSession::kConnectionOff) {
                        call(m_Face.connectionChanged, false);
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
            // Redraw, tell the observers, then wait for the next poll.
            apnState(apnReady, simState, signal);
            if (signal != shownSignal) {
                call(m_Face.signalLevel, signal);
                shownSignal = signal;
            }
            const PolledValues values{signal, simState, apnReady, m_Session.stConnect()};
            for (MonitorObserver* o : m_Observers)
                o->polled(values);
            m_Session.clock().sleepMs(kPollMs);
        } else {
            // A failed poll; three in a row and the modem is lost, at once when its device is
            // gone (no answer can come).
            lastFailed = false;
            if (!running()) return std::nullopt; // a read cut short on the way out
            for (MonitorObserver* o : m_Observers)
                o->pollFailed();
            if (m_Session.serial().DeviceGone()) return LostReason::PortGone;
            if (++failures == 1) heardByFirstFailure = m_Session.serial().BytesRead();
            if (failures >= kFailedPollLimit)
                return m_Session.serial().BytesRead() == heardByFirstFailure
                           ? LostReason::WentSilent
                           : LostReason::PollsFailed;
        }
        // Another part of the program may have sent the modem away (a role change).
        if (!m_Session.deviceReady()) return LostReason::SentAway;
    }
    return std::nullopt;
}

void ModemMonitor::linkLost(LostReason reason) {
    m_Session.lost();
    call(m_Face.lost);
    m_Session.device().update([](DeviceConfig::Values& d) {
        for (auto* s :
             {&d.ServerIp, &d.FirmwareVersion, &d.SerialNumber, &d.Imei, &d.ApnName, &d.ApnUser,
              &d.ApnPassword, &d.GgaLatitude, &d.GgaLongitude, &d.GgaMode, &d.GpsType, &d.GpsPort})
            s->clear();
    });
    for (MonitorObserver* o : m_Observers)
        o->lost(reason);
}

} // namespace tessadorn
