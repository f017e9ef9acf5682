#pragma once

#include "FakeSerialPort.h"
#include "ProgramTemplates.h"
#include "ScriptedHost.h"
#include "TempDir.h"
#include "TestModem.h"
#include "WaitUntil.h"
#include "console/MainDialog.h"
#include "platform/DebugOutput.h"

#include <fstream>
#include <functional>
#include <string>

namespace tessadorn::test {

// What a MainDialog test needs: both files in a scratch folder, the scripted host over the
// program's templates on a portrait screen, and the scripted modem on the fake port, in
// virtual time. The debug output is captured (and kept off the terminal).
struct MainDialogRig {
    MainDialogRig() {
        files.casterList = dir.file("ntripcfg.txt");
        files.profile = dir.file("tessadorn.cfg");
        host.setScreenSize(240, 320);
        modem.attach(peer);
    }

    void writeCasterList(const std::string& text) {
        std::ofstream(files.casterList, std::ios::binary) << text;
    }
    static bool until(const std::function<bool()>& cond) { return waitUntil(cond) >= 0; }

    TempDir dir;
    MainDialog::Files files;
    TemplateSet templates = programTemplates();
    ScriptedHost host{templates};
    VirtualClock clock;
    ScriptedModem peer{1};
    // Notes every command with what `probe.setProbe` says (the monitor parked, say).
    ProbingPeer probe{peer};
    FakeSerialPort port{clock, probe};
    Modem modem;
    DebugCapture debug;
};

} // namespace tessadorn::test
