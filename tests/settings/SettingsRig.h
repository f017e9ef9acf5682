#pragma once

#include "FakeSerialPort.h"
#include "HeldRate.h"
#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "layout/TemplateLibrary.h"
#include "modem/ModemSession.h"
#include "modem/Protocol.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "store/CasterStore.h"
#include "ui/TemplateSource.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tessadorn::test {

// A writer whose saves can be made to fail, as on a full disk.
class SwitchableWriter final : public FileWriter {
  public:
    bool replace(const std::string& path, std::string_view bytes, int mode) override {
        if (failing) return false;
        return AtomicFile::standard().replace(path, bytes, mode);
    }
    bool createIfMissing(const std::string& path, int mode) override {
        return AtomicFile::standard().createIfMissing(path, mode);
    }
    std::atomic<bool> failing{false};
};

// What a settings dialog needs of the main dialog, over a scripted modem in virtual time, with
// the caster list and the device profile in a temporary folder, and a stand-in for the monitor
// that parks at its checkpoint whenever asked. Every command is noted with whether the monitor
// was parked and the wait cursor showed when it went out (`probe.failedFor`). The settings
// dialogs run on a plain parent dialog of the scripted host.
struct SettingsRig {
    TempDir dir;
    SwitchableWriter writer;
    TemplateSet templates = programTemplates();
    ScriptedHost host{templates};
    Dialog parent{host, 0};
    VirtualClock clock;
    ScriptedModem modem;
    ProbingPeer probe{modem};
    FakeSerialPort port{clock, probe};
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), writer};
    SerialChannel& serial = session.serial();
    DeviceConfig& device = session.device();
    PauseGate& gate = session.monitorGate();
    CasterStore store{dir.file("ntripcfg.txt"), writer};
    DebugCapture debug;
    std::thread monitor;

    SettingsRig() {
        gate.attach();
        monitor = std::thread([this] {
            while (gate.checkpoint())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        probe.setProbe([this] { return gate.parked() && host.waitCursorShown(); });
        host.setScreenSize(240, 320);
        session.modeFound(kModeClient);
        holdRate(session, 2);
        session.autoConnectState(1);
        serial.Open(2);
    }
    ~SettingsRig() {
        gate.stop();
        monitor.join();
    }
    // Every command written, whole, in order.
    std::vector<std::string> sent() const {
        std::vector<std::string> out;
        for (const auto& w : port.writes())
            out.push_back(w.bytes);
        return out;
    }
    // Answers `command` with "<OK\r\n" (at one rate only when `atBaud` is given).
    void accept(const std::string& command, int atBaud = -1) {
        modem.on(command, std::string(protocol::kTokOkLine)).onlyAtBaud = atBaud;
    }
};

} // namespace tessadorn::test
