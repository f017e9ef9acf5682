#pragma once

#include "CasterService.h"
#include "SimSettings.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn::sim {

// The modem's correction firmware: one command line in, its reaction out, as a table of
// commands a reader can scan (see the table in CorrectionFirmware.cpp). It keeps the modem's
// settings; when each byte goes out, restarts and rate changes are the business of SimModem,
// which plays the reaction on its clock.
class CorrectionFirmware {
  public:
    // The cellular state at the moment the command arrived.
    struct Conditions {
        int simState = 0;
        bool apnUp = false;
        int signal = -1;
    };

    // What the modem sends, and what it does once its last byte is out.
    struct Reaction {
        struct Part {
            std::string text;
            int afterMs = 0;     // after the previous part (the first: after the reply delay)
            int notBeforeMs = 0; // at the earliest this long after the command (a caster's answer)
        };
        std::vector<Part> parts;
        std::function<void(SimSettings&)> atEnd; // a change that takes effect after the answer
        int rateAtEnd = -1;                      // the port moves to this baud index
        bool restartAtEnd = false;
        bool engineAtEnd = false; // the cellular engine takes over the line
    };

    CorrectionFirmware(SimSettings& state, CasterService& casters);

    // One command line without its CR LF.
    Reaction handle(const std::string& line, const Conditions& now);

    // The APN values given by "APN", "USER", "PASSWORD" are kept by "SAVE" and applied at the
    // next start.
    void restarted();

    // A refused command: "CMD_ERROR" for the caster commands, "<ERROR" for the others.
    static Reaction refusal(const std::string& line);

  private:
    using Handler = Reaction (CorrectionFirmware::*)(const std::string& argument,
                                                     const Conditions& now);
    struct Command {
        std::string_view text; // without CR LF framing
        bool prefix;           // the text is followed by an argument
        Handler handler;
    };
    static const std::vector<Command>& commands();

    Reaction device(const std::string&, const Conditions&);
    Reaction configuration(const std::string&, const Conditions&);
    Reaction positionSource(const std::string&, const Conditions&);
    Reaction broadcast(const std::string&, const Conditions&);
    Reaction serverAddress(const std::string&, const Conditions&);
    Reaction autoConnection(const std::string&, const Conditions&);
    Reaction connectionState(const std::string&, const Conditions&);
    Reaction storedCaster(const std::string&, const Conditions&);
    Reaction apnState(const std::string&, const Conditions&);
    Reaction signalLevel(const std::string&, const Conditions&);
    Reaction modeBase(const std::string&, const Conditions&);
    Reaction modeRover(const std::string&, const Conditions&);
    Reaction apnName(const std::string& value, const Conditions&);
    Reaction apnUser(const std::string& value, const Conditions&);
    Reaction apnPassword(const std::string& value, const Conditions&);
    Reaction save(const std::string&, const Conditions&);
    Reaction reset(const std::string&, const Conditions&);
    Reaction setPositionSource(const std::string& fields, const Conditions&);
    Reaction setRate(const std::string& rate, const Conditions&);
    Reaction setBroadcast(const std::string& fields, const Conditions&);
    Reaction autoOn(const std::string&, const Conditions&);
    Reaction autoOff(const std::string&, const Conditions&);
    Reaction stopConnection(const std::string&, const Conditions&);
    Reaction signalReports(const std::string&, const Conditions&);
    Reaction list(const std::string& argument, const Conditions&);
    Reaction connect(const std::string& argument, const Conditions&);
    Reaction connectTessadorn(const std::string& argument, const Conditions&);
    Reaction exitToEngine(const std::string&, const Conditions&);

    std::string storedCasterReply() const;

    SimSettings& m_State;
    CasterService& m_Casters;
    std::string m_ApnEdit, m_UserEdit, m_PasswordEdit;
    std::string m_ApnSaved, m_UserSaved, m_PasswordSaved;
};

} // namespace tessadorn::sim
