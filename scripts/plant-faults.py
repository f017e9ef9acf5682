#!/usr/bin/env python3
"""Measures how many planted faults the tests catch.

Each mutation is a realistic one-line change of the code (a wrong comparison, a one-character
change in a command, a missing save, a dropped lock). They are applied one at a time to a scratch
copy of the committed tree (build-faults/tree, beside the other build folders), only the test
executables of the mutated layer are rebuilt (ccache makes the unchanged files free), and only
their tests are run. A mutation is caught when a test fails (or the build of a test fails to
link); the original line is put back before the next one.

    scripts/plant-faults.py                 every mutation
    scripts/plant-faults.py --only store    the mutations of one layer
    scripts/plant-faults.py --list          the mutations, without running them
    scripts/plant-faults.py --last 30       the newest 30 (a batch planted blind)

The pseudo-terminal tests (console.pty., sim.pty.) take real time and are left out unless
--pty is given; the fuzz targets are left out. The share reported is therefore a lower bound
of what ./test catches.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Test executables and ctest selections per layer.
LAYERS = {
    "store": (["store_tests", "console_tests"], r"^(store|console)\.", r"^console\.pty\."),
    "console": (["console_tests", "console_sim_tests"], r"^console\.", r"^console\.pty\."),
    "link": (["link_tests", "console_tests"], r"^(link|console)\.", r"^console\.pty\."),
    "platform": (["platform_tests", "store_tests", "link_tests", "console_tests"],
                 r"^(platform|store|link|console)\.", r"^console\.pty\."),
    "sim": (["sim_tests", "console_sim_tests"], r"^(sim|console\.sim)\.", r"^sim\.pty\."),
    "ui": (["ui_tests"], r"^ui\.", r"^ui\.qt\."),
    "layout": (["layout_tests"], r"^layout\.", None),
    "caster": (["caster_tests", "caster_gui_tests", "console_tests"], r"^(caster|console)\.",
               r"^console\.(pty|gui|sim)\."),
    "settings": (["settings_tests", "console_tests"], r"^(settings|console)\.",
                 r"^(settings|console)\.pty\.|^console\.(gui|sim)\."),
    "update": (["update_tests", "console_tests"], r"^(update|console)\.",
               r"^(update|console)\.pty\.|^console\.(gui|sim)\."),
    "modem": (["modem_tests", "caster_tests", "console_tests", "settings_tests", "update_tests"],
              r"^(modem|caster|console|settings|update)\.",
              r"^(console|settings|update)\.pty\.|^console\.(gui|sim)\."),
    "app": (["app_tests", "tessadorn"], r"^(app|screens)\.",
            r"^screens\.(searching|client|server|simulator-restart)$"),
    "cli": (["cli_tests", "cli_pty_tests", "cli_profile_pty_tests", "tessadornctl", "tessadorn-sim"],
            r"^cli\.", r"^cli\.pty\."),
    "casterlist": (["casterlist_tests", "settings_tests", "console_tests"],
                   r"^(casterlist|settings|console)\.",
                     r"^(settings|console)\.pty\.|^console\.(gui|sim)\."),
}

# (layer, file, original text, planted text, what the fault is)
MUTATIONS = [
    # The caster list file.
    ("store", "src/store/CasterFileReader.cpp", "c != '\\n' && c != ' ')", "c != '\\n')",
     "blanks between elements fail the load"),
    ("store", "src/store/CasterFileReader.cpp", "return decimalValue(text) >= 0;", "return true;",
     "a negative sv number is accepted"),
    ("store", "src/store/CasterFileReader.cpp", 'if (!sawVersion) entry.vntrip = "1";',
     'if (!sawVersion) entry.vntrip = "2";', "wrong default NTRIP version"),
    ("store", "src/store/CasterFileReader.cpp", "if (!hasRoom) m_Dropped = true;", "",
     "casters past the 25th dropped without a backup"),
    ("store", "src/store/CasterFileWriter.cpp", 'element(out, "Password", e.Password);',
     'element(out, "password", e.Password);', "wrong case of the caster's password tag"),
    ("store", "src/store/CasterFileWriter.cpp", 'doc.auth == "yes" ?', 'doc.auth != "no" ?',
     "auth other than yes written as yes"),
    ("store", "src/store/CasterStore.cpp", "        m_BackupPending = false;\n", "",
     "the backup is rewritten at every save"),
    ("store", "src/store/CasterStore.cpp", "std::clamp(server.value(), 0, count - 1)",
     "std::clamp(server.value(), 0, count)", "current index past the list"),
    ("store", "src/store/DecimalText.h", "(text[i] >= '\\t' && text[i] <= '\\r')",
     "text[i] == '\\t'", "a number after a line end reads as 0"),
    ("store", "src/store/CasterStore.cpp",
     "bool CasterStore::Save() {\n    std::lock_guard lock(m_Mutex);",
     "bool CasterStore::Save() {", "Save without the store's lock"),
    ("store", "src/store/CasterDocument.cpp", "return value.size() <= limit &&",
     "return value.size() < limit &&", "a 49-byte value refused"),
    ("store", "src/store/DeviceProfile.cpp", "    m_SavedBaudIndex = index;\n    return 1;",
     "    return 1;", "the saved rate is not remembered"),
    ("store", "src/store/DeviceProfile.cpp", "digit = bytes[2];", "digit = bytes[1];",
     "older profile form read at the wrong byte"),
    # The console: synchronisation, panel, replies, monitor.
    ("console", "src/console/CasterSync.cpp", '    doc.carrier = "yes";\n', "",
     "APN taken but not written to the file"),
    ("console", "src/console/CasterSync.cpp",
     "e.ip == d.CasterHost && e.Tessadorn.value() == ServerKind::Caster",
     "e.ip == d.CasterHost && e.Tessadorn.value() == ServerKind::Tessadorn",
     "a caster matched against a Tessadorn entry"),
    ("console", "src/console/MainDialog.cpp",
     "if (caster_sync::syncApn(device, m_Store)) m_Store.Save();",
     "caster_sync::syncApn(device, m_Store);", "APN synchronisation never saved"),
    ("console", "src/console/PanelText.cpp", '{ids::Line3, "Server Port: 2101"}',
     '{ids::Line3, "Server Port: 2102"}', "wrong server port line"),
    ("console", "src/console/PanelText.cpp", "in.baudIndex <= 4", "in.baudIndex < 4",
     "no baud line for 115200"),
    ("console", "src/console/PanelText.cpp", 'd.GgaMode == "MANUAL"', 'd.GgaMode == "MANUEL"',
     "manual position shown as a receiver"),
    ("console", "src/console/PanelText.cpp", "if (apnReady == 0) return", "if (apnReady != 0) return",
     "APN state inverted"),
    ("console", "src/console/ReplyParsers.cpp", "if (f.size() < 7) return false;",
     "if (f.size() < 6) return false;", "a configuration of six fields accepted"),
    ("console", "src/console/ReplyParsers.cpp", "if (f.size() == 4) {", "if (f.size() == 5) {",
     "Tessadorn server told by the wrong field count"),
    ("console", "src/console/ReplyParsers.cpp", "if (value > kLimit) return std::nullopt;",
     "if (value > kLimit) break;", "out-of-range numbers wrap again"),
    ("console", "src/console/MonitorThread.cpp", "if (++failures >= kFailedPollLimit) return;",
     "if (++failures > kFailedPollLimit) return;", "four failed polls before the modem is lost"),
    ("console", "src/console/MonitorThread.cpp", "if (simState == 0) signal = -1;", "",
     "no-SIM picture not shown after a signal of 0"),
    ("console", "src/console/MonitorThread.cpp", "state == 2 && m_Shared.m_StConnect.load() != 2",
     "state == 2 && m_Shared.m_StConnect.load() != 1", "Connect picture not swapped back"),
    ("console", "src/console/StatusDisplay.cpp", "m_Controls.setVisible(Relay, !caster);",
     "m_Controls.setVisible(Relay, true);", "relay picture always shown on a base"),
    ("console", "src/console/StatusDisplay.cpp",
     "        for (const auto& [id, utf8] : m_Written)\n            m_Controls.setText(id, utf8);\n",
     "", "panel lines not restored after a turn"),
    # The link: protocol texts, transactions, token matching.
    ("link", "src/link/Protocol.h", 'kSignalOnce = "#SIGNALONCE\\r\\n"',
     'kSignalOnce = "#SIGNALONC\\r\\n"', "one character missing in a command"),
    ("link", "src/link/Protocol.h", 'kTokOkLine = "<OK\\r\\n"', 'kTokOkLine = "<OK\\n"',
     "acknowledgement token without its CR"),
    ("link", "src/link/Transactions.cpp", "unlimited || sent <= resends",
     "unlimited || sent < resends", "one resend too few"),
    ("link", "src/link/Transactions.cpp", "    m_Serial.PurgeReceive();\n", "",
     "stale bytes not purged before a command"),
    ("link", "src/link/TokenMatcher.cpp", "        m_Position = m_Failure[m_Position - 1];\n        return true;",
     "        m_Position = 0;\n        return true;", "overlapping tokens missed"),
    ("link", "src/link/TokenMatcher.cpp", "if (m_Matchers[i].feed(byte) && found == 0)",
     "if (m_Matchers[i].feed(byte))", "the higher-numbered token wins"),
    # Platform services.
    ("platform", "src/platform/TextCodec.cpp", "0x20AC, 0x0081,", "0x20AC, 0x0080,",
     "a code-page byte converted wrongly"),
    ("platform", "src/platform/TermiosSerialPort.cpp",
     "    applyLineSettings(fd, baudIndex);\n    tcflush(fd, TCIFLUSH);",
     "    applyLineSettings(fd, baudIndex);", "bytes waiting before the open are read"),
    ("platform", "src/platform/AtomicFile.cpp", "    return file.commit();\n}",
     "    file.commit();\n    return true;\n}", "a failed commit reported as success"),
    # The simulator.
    ("sim", "sim/SimModem.cpp", "m_Out.nextAtUs() != OutputQueue::kNever &&", "",
     "timed events brought forward on an idle line"),
    ("sim", "sim/CorrectionFirmware.cpp", "m_State.connected = !m_State.base && m_State.autoConnect",
     "m_State.connected = m_State.autoConnect", "a base connects to a caster after a restart"),
    ("sim", "sim/CasterRequest.cpp", "std::stoi(r.port) > 65535", "std::stoi(r.port) >= 65535",
     "port 65535 refused"),
    ("sim", "sim/OutputQueue.cpp", "return (10'000'000 + rate - 1) / rate;",
     "return 10'000'000 / rate;", "byte time rounded down"),
    # A second batch, planted blind in code whose tests this measurement did not write.
    ("link", "src/link/SerialChannel.cpp", "captured <= kCaptureCut", "captured < kCaptureCut",
     "a capture of only its line end accepted"),
    ("link", "src/link/SerialChannel.cpp", "            captured = 0;\n            text.clear();",
     "            captured = 0;", "a restarted capture keeps the bytes before it"),
    ("link", "src/link/Protocol.cpp", "if (baudIndex < 0 || baudIndex > 4) {",
     "if (baudIndex < 0 || baudIndex > 5) {", "a rate command for an index without a rate"),
    ("link", "src/link/DeviceConfig.cpp", "clamp(CasterKind, 2);", "clamp(CasterKind, 3);",
     "a text kept past its capacity"),
    ("platform", "src/platform/PauseGate.cpp", "    return !m_Stop;\n}", "    return true;\n}",
     "a stopped gate lets the worker go on"),
    ("platform", "src/platform/TextCodec.cpp", "out.size() < maxChars", "out.size() <= maxChars",
     "an edit read as 49 characters"),
    ("console", "src/console/AnimationThread.cpp", "m_Tick = 6;", "m_Tick = 5;",
     "the animation restarts at the wrong tick"),
    ("console", "src/console/AnimationThread.cpp", "case 15:\n            m_Display.animationFrame(ids::Frame3);",
     "case 15:\n            m_Display.animationFrame(ids::Frame4);", "a frame out of order"),
    ("console", "src/console/StatusDisplay.cpp", "Line1,   Line2,       Line3,       AutoConnect})",
     "Line1,   Line2,       Line3})", "hide-all leaves the automatic-connection box"),
    ("console", "src/console/StatusDisplay.cpp", "    hide(RoleClient);\n    hide(RoleServer);\n}",
     "    hide(RoleServer);\n}", "the rover picture stays after the modem is lost"),
    ("console", "src/console/MonitorThread.cpp", "for (int index = 0; index <= 4; ++index) {",
     "for (int index = 0; index < 4; ++index) {", "the scan never tries 115200"),
    ("console", "src/console/MonitorThread.cpp", "    if (held < 0) m_Shared.m_BaudIndex = m_OpenIndex;\n",
     "", "a modem found after the scan at no rate"),
    ("console", "src/console/MonitorThread.cpp", "&d.ServerIp, &d.FirmwareVersion, &d.SerialNumber,",
     "&d.ServerIp, &d.FirmwareVersion,", "the serial number survives a link loss"),
    ("ui", "src/ui/Relayout.cpp", "return twice >= 0 ? (twice + 1) / 2", "return twice >= 0 ? twice / 2",
     "dialog units rounded down"),
    ("ui", "src/ui/Relayout.cpp", "allFound && withoutId <= 1", "allFound && withoutId < 1",
     "one control without an id fails the re-layout"),
    ("layout", "src/layout/TemplateParser.cpp", "value > INT_MAX)", "value > INT_MAX + 1LL)",
     "a number past INT_MAX accepted in a template"),
    # A third batch, planted blind in the dialogs, their workers and the simulator.
    ("caster", "src/caster/SourceTableScanner.cpp", "m_Field.size() < SourceTable::kMaxField",
     "m_Field.size() <= SourceTable::kMaxField", "a source-table field kept one byte too long"),
    ("caster", "src/caster/SourceTableScanner.cpp", "number == 3 || number == 12 || number == 15",
     "number == 3 || number == 15", "the solution field of a source-table row is not kept"),
    ("caster", "src/caster/SourceTableScanner.cpp", "++failures >= kFailedReadLimit",
     "++failures > kFailedReadLimit", "the table read gives up one failed read late"),
    ("caster", "src/caster/SourceTableDialog.cpp", "kConnectResends, kReadLimit) != 1)",
     "kConnectResends, kReadLimit) == 0)",
     "a CMD_ERROR to the mountpoint connect taken as accepted"),
    ("caster", "src/caster/SourceTableRetrieval.cpp", "caster.user, caster.Password);",
     "caster.Password, caster.user);", "the IBSS source-table request swaps device and password"),
    ("caster", "src/console/MainDialogConnect.cpp", "    m_StConnect = 0;\n", "",
     "a stopped connection still counts as running"),
    ("caster", "src/console/MainDialogConnect.cpp", "setChecked(ids::AutoConnect, !on);",
     "setChecked(ids::AutoConnect, on);", "a declined automatic-connection change keeps the box"),
    ("settings", "src/settings/GpsSourceDialog.cpp", "p::setGgaTrimble(port + 1)",
     "p::setGgaTrimble(port)", "the Trimble port sent one lower (COM0 for COM1)"),
    ("settings", "src/settings/GpsSourceDialog.cpp",
     "    m_Access.profile.SaveProfile(baudIndex);\n", "",
     "a rate change not saved in the device profile"),
    ("settings", "src/settings/GpsSourceDialog.cpp", "std::fabs(*value) > f.limit",
     "std::fabs(*value) >= f.limit", "a manual latitude of exactly 90 refused"),
    ("settings", "src/settings/ApnDialog.cpp", "if (accepted < 3) return false;",
     "if (accepted == 0) return false;", "the APN saved although the modem refused one value"),
    ("settings", "src/settings/ApnDialog.cpp",
     "    if (std::string failure; !saveCasterList(m_Store, failure))\n"
     "        messageBox(failure, kSaveFailureCaption);\n", "",
     "a new APN not written to the caster list"),
    ("settings", "src/settings/RelayServiceDialog.cpp", "d.BroadcastOn.assign(1, on ? '1' : '0');",
     "d.BroadcastOn.assign(1, on ? '0' : '1');", "the relay state recorded inverted after OK"),
    ("update", "src/update/UpdateSequencer.cpp", "if (++transfers == 2)", "if (++transfers == 1)",
     "\"Installing Update Files...\" shown after the first transfer"),
    ("update", "src/update/UpdateSequencer.cpp",
     "outcome == StartRefused || outcome == TraceNotStarted", "outcome == StartRefused",
     "a trace that never started reported as a finished process"),
    ("update", "src/update/UpdateValues.cpp", "if (c == '\\r' || c == '\\n' || c == '\\0')",
     "if (c == '\\r' || c == '\\0')", "an update value with a LF accepted"),
    ("update", "src/update/UpdateSequencer.cpp",
     "for (int rate = 0; rate < kRates && !stopping(); ++rate) {\n        m_Serial.Close();",
     "for (int rate = 1; rate < kRates && !stopping(); ++rate) {\n        m_Serial.Close();",
     "the engine search never tries 9600"),
    ("update", "src/update/FirmwareUpdateDialog.cpp", "MessageButtons::YesNo) != kIdYes)",
     "MessageButtons::YesNo) == kIdYes)", "the cancel question closes on No and stays on Yes"),
    ("update", "src/console/MainDialogUpdate.cpp", "kAfterUpdateBaudIndex = 2;",
     "kAfterUpdateBaudIndex = 4;", "the port reopened at 115200 after an update"),
    ("casterlist", "src/store/FieldCheck.cpp", "return \"< ,:/\";", "return \"< ,:\";",
     "a \"/\" accepted in a caster address"),
    ("casterlist", "src/casterlist/ServerEditDialog.cpp", "std::to_string(row + 1) : \"0\"",
     "std::to_string(row) : \"0\"", "an edited caster saved with its NTRIP version one lower"),
    ("casterlist", "src/casterlist/ServerListDialog.cpp", "        m_Store.hasCurrent = false;\n", "",
     "deleting the last caster leaves a current caster"),
    ("casterlist", "src/casterlist/CasterSelectDialog.cpp", "m_Store.password = e.Password;",
     "m_Store.password = e.user;", "the chosen caster's user stored as the password"),
    ("casterlist", "src/casterlist/ServerListDialog.cpp",
     "    if (std::string failure; !saveCasterList(m_Store, failure))\n"
     "        messageBox(failure, kSaveFailureCaption);\n    endDialog(0);",
     "    endDialog(0);",
     "OK in the server list does not save the list"),
    ("casterlist", "src/console/CasterSync.cpp",
     " && password == doc.carrierPassword) return false;", ") return false;",
     "a changed carrier password of the modem not taken into the list"),
    ("sim", "sim/CorrectionFirmware.cpp", "    m_PasswordSaved = m_PasswordEdit;\n", "",
     "SAVE forgets the APN password"),
    ("sim", "sim/CorrectionFirmware.cpp", "{\"TRIMBLE\", 2}", "{\"TRIMBLE\", 1}",
     "a Trimble source moves the simulated port to 19200"),
    ("sim", "sim/CorrectionFirmware.cpp", "    m_State.connected = true;\n    return r;",
     "    return r;", "an accepted #CONNECT leaves the simulated modem unconnected"),
    ("sim", "sim/CellularEngine.cpp", "fields.size() == 11", "fields.size() == 10",
     "the engine refuses every update parameter set"),
    ("link", "src/link/Protocol.cpp", "baudIndex > 4)", "baudIndex >= 4)", "#COM 115200 refused"),
    ("link", "src/link/Protocol.cpp", "\"#LIST 2,%s.%s:%s %s.%s:%s", "\"#LIST 3,%s.%s:%s %s.%s:%s",
     "the IBSS source-table request says version 3"),
    ("link", "src/link/Transactions.cpp", "unlimited || sent <= resends",
     "unlimited || sent < resends", "every command resent one time fewer"),
    # A fourth batch, planted blind in the modem layer, the dialogs and program start.
    ("modem", "src/modem/StatusQueries.cpp", "constexpr int kStartResends = 5;",
     "constexpr int kStartResends = 4;", "the start-up reads resent one time fewer"),
    ("modem", "src/modem/StatusQueries.cpp", "constexpr int kPollReadLimit = 2048;",
     "constexpr int kPollReadLimit = 20;", "a poll gives up after 20 reads"),
    ("modem", "src/modem/StatusQueries.cpp", "? kStartResends : 1;", "? kStartResends : 0;",
     "the connection state poll resent without end"),
    ("modem", "src/modem/StatusQueries.cpp", "if (parsed && manualIsUnknownType && d.GgaMode",
     "if (parsed && d.GgaMode", "a manual position always read as an UNKNOWN receiver"),
    ("modem", "src/modem/SourceTableRequest.h", "kListReadLimit = 512;", "kListReadLimit = 5;",
     "the LIST answer given up after 5 reads"),
    ("modem", "src/modem/SourceTableRequest.h", "kCloseReadLimit = 128;",
     "kCloseReadLimit = 2048;", "the wait for SHUTDOWN reads 2048 times"),
    ("modem", "src/modem/SourceTableRequest.h", "kClosePauseMs = 1000;", "kClosePauseMs = 100;",
     "the pause after SHUTDOWN is 100 ms"),
    ("modem", "src/modem/SourceTableRequest.cpp", "if (accepted != 1) return",
     "if (accepted == 0) return", "a CMD_ERROR to LIST taken as accepted"),
    ("modem", "src/modem/ConnectionCommands.h", "kStopReadLimit = 2048;", "kStopReadLimit = 512;",
     "the stop command reads only 512 times"),
    ("modem", "src/modem/CasterReply.cpp", "{p::kTokError42, CasterReply::NotAuthorized, true},",
     "{p::kTokError42, CasterReply::ServerNotResponding, true},",
     "ERROR 4_2 read as a server that does not respond"),
    ("modem", "src/modem/ConnectionCommands.cpp", "    serial.Drain(kDrainThreshold);\n", "",
     "no drain before the mountpoint connect"),
    ("modem", "src/modem/ConnectionCommands.cpp", "base ? p::kModeBase : p::kModeRover",
     "base ? p::kModeRover : p::kModeBase", "the role commands swapped"),
    ("modem", "src/modem/ConnectionCommands.cpp", "p::connect2(host, port), p::kTokOk, kResends",
     "p::connect2(host, port), p::kTokOkLine, kResends", "the direct connection waits for <OK"),
    ("modem", "src/modem/DeviceSettings.cpp", '{"TRIMBLE", 2, false},', '{"TRIMBLE", 2, true},',
     "a Trimble source ends the automatic connection"),
    ("modem", "src/modem/DeviceSettings.cpp", '{"TOPCON", 4, false},', '{"TOPCON", 3, false},',
     "a Topcon source moves the link to 57600"),
    ("modem", "src/modem/DeviceSettings.cpp",
     '        if (make == GpsReceiver::Topcon) d.GpsPort = "COM4";\n', "",
     "the Topcon port not recorded"),
    ("modem", "src/modem/DeviceSettings.cpp", "d.GgaLatitude = p::decimal6(latitude);",
     "d.GgaLatitude = p::decimal6(longitude);", "the manual latitude recorded as the longitude"),
    ("modem", "src/modem/DeviceSettings.h", "kGpsResends = 2;", "kGpsResends = 1;",
     "the position source sent one time fewer"),
    ("modem", "src/modem/DeviceSettings.cpp",
     "if (!tx.SendWaitToken(p::kSave, p::kTokOkLine, kApnResends)) return false;",
     "tx.SendWaitToken(p::kSave, p::kTokOkLine, kApnResends);", "a refused SAVE reported as success"),
    ("modem", "src/modem/UpdateEngine.cpp", "SendWaitTokenLimited(p::kExit0, p::kTokBye",
     "SendWaitTokenLimited(p::kExit0Again, p::kTokBye", "the first exit command sent doubled"),
    ("modem", "src/modem/UpdateEngine.cpp",
     "    m_Session.clock().sleepMs(settleMs);\n    return m_Session.serial().WaitToken(p::kTokOk)",
     "    return m_Session.serial().WaitToken(p::kTokOk)", "the engine's OK read without a pause"),
    ("modem", "src/modem/Protocol.cpp", 'return format("#CONNECT 2,%s.%s:%s/%s %s.%s:%s\\r\\n",',
     'return format("#CONNECT 3,%s.%s:%s/%s %s.%s:%s\\r\\n",', "the IBSS connect says version 3"),
    ("link", "src/link/SerialChannel.cpp",
     "    m_Port.purgeReceive();\n    std::vector<std::uint8_t> block(1024);",
     "    std::vector<std::uint8_t> block(1024);", "the drain does not purge what arrived"),
    ("console", "src/console/MainDialogConnect.cpp", "if (m_Session.stConnect().load() == 1) return",
     "if (m_Session.stConnect().load() == 2) return", "a running connection not offered to stop"),
    ("console", "src/console/MainDialogConnect.cpp", "    m_Session.deviceReady() = 0;\n", "",
     "after a role change the modem is not looked for anew"),
    ("console", "src/console/MainDialogConnect.cpp", "m_Session.autoConnect() = on ? 1 : 0;",
     "m_Session.autoConnect() = 1;", "automatic connection recorded on after Disable"),
    ("console", "src/console/MainDialogConnect.cpp", 'toServer ? "Tessadorn SERVER" : "Tessadorn CLIENT"',
     'toServer ? "Tessadorn CLIENT" : "Tessadorn SERVER"', "the role result boxes swapped"),
    ("console", "src/console/MainDialogConnect.cpp", "        endDialog(0);\n        quitApplication(0);",
     "        quitApplication(0);", "a configured Tessadorn link leaves the dialog open"),
    ("settings", "src/console/MainDialogSettings.cpp", "if (result == 1 || result == 3) {",
     "if (result == 3) {", "a KV-318 source keeps the connect controls"),
    ("settings", "src/console/MainDialogSettings.cpp",
     "if (result <= 0 || m_Session.mode().load() == kModeServer) return;",
     "if (result <= 0) return;", "a base shows the connect controls after the position source"),
    ("settings", "src/console/MainDialogSettings.cpp", "setVisible(ids::Disconnect, connected);",
     "setVisible(ids::Disconnect, false);", "no Disconnect picture while a connection runs"),
    ("settings", "src/settings/RelayServiceDialog.cpp", "    if (!on) enableDetails(false);\n", "",
     "the relay details enabled while the relay is off"),
    ("settings", "src/settings/RelayServiceDialog.cpp",
     "if (i < flag.size() && (flag[i] == '+' || flag[i] == '-')) ++i;", "",
     "a broadcast flag \"+1\" read as off"),
    ("settings", "src/settings/GpsSourceDialog.cpp", 'if (device.GpsPort == "COM3") m_PortIndex = 2;',
     'if (device.GpsPort == "COM3") m_PortIndex = 1;', "a Trimble on COM3 shown as COM2"),
    ("casterlist", "src/casterlist/ServerListDialog.cpp", "m_Store.count >= CasterDocument::kMaxEntries",
     "m_Store.count > CasterDocument::kMaxEntries", "Add stays enabled on a full list"),
    ("casterlist", "src/casterlist/CasterSelectDialog.cpp",
     'm_Store.auth = controls().checked(kAuth) ? "yes" : "no";', 'm_Store.auth = "yes";',
     "an unticked authorization saved as yes"),
    ("casterlist", "src/casterlist/CasterSelectDialog.cpp", "number < m_Store.count ? number : m_Store.count - 1",
     "number < m_Store.count ? number : -1", "a current past the shortened list selects nothing"),
    ("update", "src/update/UpdateSequencer.cpp", "m_Controls.setPosition(update_ids::Progress, kLeaveBarTop);",
     "m_Controls.setPosition(update_ids::Progress, kLeaveBarTop - 1);", "the bar not full after Bye"),
    ("update", "src/update/UpdateSequencer.cpp",
     "        if (!m_Engine.reopen(rate, kReopenMs)) {\n            message(kComPortError);\n            continue;",
     "        if (!m_Engine.reopen(rate, kReopenMs)) {\n            message(kComPortError);\n            break;",
     "a port failure ends the blind exit at that rate"),
    ("update", "src/update/UpdateSequencer.cpp", "constexpr int kUpdateBarTop = 23;",
     "constexpr int kUpdateBarTop = 22;", "the update bar one step short"),
    ("app", "src/app/ReportingSerialPort.cpp", "        m_Failed = false;\n", "",
     "a port failure after a success not reported again"),
    ("app", "src/app/ProgramOptions.cpp", "seconds < 1 || seconds > 3600",
     "seconds <= 1 || seconds > 3600", "--screenshot-wait 1 refused"),
    ("app", "src/app/main.cpp", "return port.openFailed() ? 1 : exitCode;", "return exitCode;",
     "a missing port ends with status 0"),
    # A batch in what the field trials mended (the port rates, saves cut by a signal, tables past
    # 8 MB, the metrics on a full disk, profile export, near misses, --password-file).
    ("store", "src/store/PortRates.cpp", "digit >= '0' + kRates) return -1;",
     "digit >= '0' + kRates - 1) return -1;", "a kept 115200 read as a damaged line"),
    ("store", "src/store/PortRates.cpp", "    const FileLock lock(m_Path + \".lock\");\n", "",
     "tessadorn.ports rewritten without its lock"),
    ("store", "src/store/PortRates.cpp", "if (lineIndex == index) kept = true;",
     "if (lineIndex != index) kept = true;", "a port's new rate not written"),
    ("store", "src/store/PortRates.cpp", "if (portRateIndex(line) < 0) {",
     "if (portRateIndex(line) < -1) {", "a damaged tessadorn.ports replaced by this port's line"),
    ("store", "src/store/PortRates.cpp", "if (!e && !std::filesystem::is_regular_file(status)) {",
     "if (e) {", "a folder in place of tessadorn.ports read as an empty file"),
    ("store", "src/platform/AtomicFile.cpp",
     "if (slot.state.load() == kSlotReady) ::unlink(slot.path);",
     "if (slot.state.load() == kSlotFree) ::unlink(slot.path);",
     "a save cut by SIGTERM leaves its copy"),
    ("store", "src/platform/AtomicFile.cpp", "g_CopySlots[i].state.store(kSlotReady);",
     "g_CopySlots[i].state.store(kSlotWriting);", "a copy being written never noted for a signal"),
    ("modem", "src/modem/SourceTableScanner.cpp",
     "            if (table.count() != reported) report();\n            return End::TooLong;",
     "            table.clear();\n            return End::TooLong;", "a table past 8 MB loses its rows"),
    ("caster", "src/modem/SourceTableRequest.cpp", "    if (serial.Aborted()) return;\n", "",
     "a window closed while a stopped table is discarded waits for the exchange's close"),
    ("caster", "src/caster/SourceTableRetrieval.cpp",
     "const bool cut = result == SourceTableScanner::End::TooLong && m_Table.count() > 0;",
     "const bool cut = false;", "a table past 8 MB shows Error 2 in the window"),
    ("cli", "src/cli/WatchMetrics.cpp", "if (written == !m_Failure.empty()) heard = m_WriteChange;",
     "if (!written) heard = m_WriteChange;", "a failing metrics file said at every rewrite"),
    ("cli", "src/cli/WatchMetrics.cpp", "            ++m_WritesFailed;\n", "",
     "failed metrics rewrites not counted"),
    ("cli", "src/cli/Mountpoints.cpp", "return failTyped(kBadInput, \"No mountpoint \"",
     "return fail(kBadInput, \"No mountpoint \"", "near misses shown in the device code page"),
    ("cli", "src/cli/Profile.cpp", "if (q.words.size() == 3 && q.words[2] != \"-\") {",
     "if (q.words.size() == 3) {", "profile export - writes a file named -"),
    ("cli", "src/cli/Profile.cpp", "return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);",
     "return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);",
     "profile export replaces a FIFO or a terminal by a file"),
    ("cli", "src/cli/Settings.cpp", "    modem.keepRate(ok);\n", "",
     "the rate a receiver moved the modem to not kept for the port"),
    ("cli", "src/cli/Update.cpp", "    modem.holdKnownRate();", "    session.loadProfile();",
     "update starts at the folder's rate, not the port's"),
    ("cli", "src/cli/Modem.cpp", "    if (end == End::TooLong && table.count() > 0) return true;\n",
     "", "mountpoints of a table past 8 MB end with Error 2"),
    ("cli", "src/app/ctl_main.cpp", "!S_ISREG(st.st_mode)", "S_ISBLK(st.st_mode)",
     "--password-file takes a folder as an empty password"),
    ("cli", "src/cli/WatchReport.cpp", ".set(\"written\", Value::boolean(failure.empty()))",
     ".set(\"written\", Value::boolean(true))", "a failed metrics rewrite said as written"),
]


def run(cmd, cwd, log, timeout=None):
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(cmd) + "\n").encode())
        out.flush()
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return 124


def prepare(tree, build, log):
    """A scratch copy of the committed tree, configured and with the test executables built."""
    if os.path.exists(tree):
        shutil.rmtree(tree)
    os.makedirs(tree)
    archive = subprocess.run(["git", "archive", "HEAD"], cwd=ROOT, stdout=subprocess.PIPE,
                             check=True).stdout
    subprocess.run(["tar", "-x", "-C", tree], input=archive, check=True)
    if run(["cmake", "-S", ".", "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DTESSADORN_DEBUG_INFO=OFF", "-DTESSADORN_UNITY=ON",
            "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"], tree, log) != 0:
        sys.exit("configure failed, see " + log)
    targets = sorted({t for layer in LAYERS.values() for t in layer[0]})
    if run(["nice", "ninja", "-C", build, "-j2"] + targets, tree, log) != 0:
        sys.exit("the unmutated tree does not build, see " + log)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", choices=sorted(LAYERS), help="mutations of one layer only")
    parser.add_argument("--list", action="store_true", help="list the mutations and stop")
    parser.add_argument("--pty", action="store_true", help="run the pseudo-terminal tests too")
    parser.add_argument("--reuse", action="store_true", help="keep the scratch tree if present")
    parser.add_argument("--last", type=int, default=0, help="only the last N mutations (a new batch)")
    parser.add_argument("--match", action="append",
                        help="only the mutations whose description holds this text (repeatable)")
    args = parser.parse_args()

    chosen = MUTATIONS[-args.last:] if args.last else MUTATIONS
    chosen = [m for m in chosen if not args.only or m[0] == args.only]
    chosen = [m for m in chosen if not args.match or any(t in m[4] for t in args.match)]
    if args.list:
        for layer, path, _, _, what in chosen:
            print(f"{layer:9} {path:40} {what}")
        return 0

    work = os.path.join(ROOT, "build-faults")
    tree = os.path.join(work, "tree")
    build = os.path.join(tree, "build")
    log = os.path.join(work, "log.txt")
    os.makedirs(work, exist_ok=True)
    open(log, "w").close()
    if not (args.reuse and os.path.isdir(build)):
        prepare(tree, build, log)

    caught = total = 0
    missed = []
    for layer, path, old, new, what in chosen:
        source = os.path.join(tree, path)
        with open(source, encoding="utf-8") as f:
            text = f.read()
        if text.count(old) != 1:
            print(f"SKIP    {path}: the original text is not there once ({what})")
            continue
        targets, include, exclude = LAYERS[layer]
        started = time.time()
        try:
            with open(source, "w", encoding="utf-8") as f:
                f.write(text.replace(old, new))
            built = run(["nice", "ninja", "-C", build, "-j2"] + targets, tree, log) == 0
            if not built:
                verdict = "caught"  # the tests themselves no longer build
            else:
                cmd = ["ctest", "--test-dir", build, "-R", include, "-j2", "--timeout", "120",
                       "--stop-on-failure"]
                if exclude and not args.pty:
                    cmd += ["-E", exclude]
                verdict = "caught" if run(cmd, tree, log, timeout=900) != 0 else "MISSED"
        finally:
            with open(source, "w", encoding="utf-8") as f:
                f.write(text)
        total += 1
        if verdict == "caught":
            caught += 1
        else:
            missed.append(f"{path}: {what}")
        print(f"{verdict:7} {layer:9} {what} ({time.time() - started:.0f} s)", flush=True)

    # Leave the scratch tree built as committed.
    run(["nice", "ninja", "-C", build, "-j2"] + sorted({t for l in LAYERS.values() for t in l[0]}),
        tree, log)
    print(f"\ncaught {caught} of {total} planted faults"
          + (f" ({100 * caught // total} %)" if total else ""))
    for m in missed:
        print("  missed: " + m)
    return 0


if __name__ == "__main__":
    sys.exit(main())
