#pragma once

#include "FakeSerialPort.h"
#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "layout/TemplateLibrary.h"
#include "modem/ModemSession.h"
#include "modem/Protocol.h"
#include "modem/SourceTable.h"
#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"
#include "store/CasterStore.h"
#include "ui/TemplateSource.h"

#include <chrono>
#include <thread>

namespace tessadorn::test {

// Everything the caster dialogs borrow from the main dialog, over a scripted modem in virtual
// time, with a stand-in for the monitor that parks at its checkpoint whenever asked, and a
// parent dialog (the main dialog's template) to open them from.
struct CasterRig {
    TempDir dir;
    TemplateSet templates = programTemplates();
    ScriptedHost host{templates};
    VirtualClock clock;
    ScriptedModem modem;
    FakeSerialPort port{clock, modem};
    ModemSession session{port, clock, dir.file("tessadorn.cfg"), AtomicFile::standard()};
    SerialChannel& serial = session.serial();
    PauseGate& gate = session.monitorGate();
    CasterStore store{dir.file("ntripcfg.txt"), AtomicFile::standard()};
    SourceTable table;
    DebugCapture debug;
    Dialog parent{host, 103};
    std::thread monitor;

    CasterRig() {
        host.setScreenSize(240, 320);
        serial.Open(2);
        gate.attach();
        monitor = std::thread([this] {
            while (gate.checkpoint())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        setCaster({"Home", "caster.example", "2101", "alice", "secret", "0", "2"});
    }
    ~CasterRig() {
        gate.stop();
        monitor.join();
    }

    void setCaster(const CasterEntry& entry, std::string auth = "yes", std::string user = "u",
                   std::string password = "p") {
        std::lock_guard lock(store.mutex());
        store.entries[0] = entry;
        store.count = 1;
        store.server = "0";
        store.auth = std::move(auth);
        store.user = std::move(user);
        store.password = std::move(password);
    }

    // Commands written, one per write.
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const auto& w : port.writes())
            out.push_back(w.bytes);
        return out;
    }
};

} // namespace tessadorn::test
