#pragma once

#include "modem/ModemSession.h"
#include "modem/UpdateEngine.h"

#include <functional>
#include <string>
#include <string_view>

namespace tessadorn {

// The APN, user and password the modem's cellular engine downloads the update with (at most 48
// characters each, in the device code page). They go into quoted fields of the engine's set
// command, so a '"' (which would end the field early) or a line break (which would end the
// command) cannot be sent.
struct UpdateValues {
    std::string apn;
    std::string user;
    std::string password;

    // The message naming the first field that cannot be sent, or empty when all can.
    std::string refusal() const;
};

// One over-the-air update once the cable is in place: leaves the modem's correction firmware,
// finds its cellular engine at one of the five rates, hands it the update parameters, starts the
// download and follows the engine's progress lines until it reboots, fails or falls silent. The
// window's dialog and the command line run it through their hooks; the modem sees the same.
class UpdateRun {
  public:
    static constexpr int kRates = kBaudIndexCount;
    static constexpr int kLeaveBarTop = 6;
    static constexpr int kUpdateBarTop = 23;

    // Outcomes of one update, numbered as the user sees them ("Tessadorn Update Error (n).").
    enum Outcome {
        Success = 0,
        SetRefused = 1,
        StartRefused = 2,
        TraceNotStarted = 3,
        EngineSilent = 4,
        OperationFailed = 6,
        EngineError = 7,
        NotDetected = -2, // no engine answered at any rate ("Tessadorn not detected.")
        Stopped = -1,     // stopped meanwhile: nothing to report
    };

    struct Hooks {
        // A new stage of the progress: from 0 to `top`, with its status line.
        std::function<void(int top, std::string_view status)> stage;
        std::function<void()> step;
        std::function<void(int position)> position;
        std::function<void(std::string_view)> status;
        // A message for the user that does not end the update (a rate that cannot be opened).
        std::function<void(std::string_view)> message;
        // True once the update should end; asked between the steps and after every wait.
        std::function<bool()> stopping;
    };

    UpdateRun(ModemSession& session, Hooks hooks);

    Outcome run(const UpdateValues& values);

    // The message of an outcome (empty for Stopped).
    static std::string outcomeMessage(Outcome outcome);
    // Refused before the download started: the modem's engine was left untouched.
    static bool refusedBeforeDownload(Outcome outcome) {
        return outcome == SetRefused || outcome == StartRefused || outcome == TraceNotStarted;
    }

  private:
    void leaveFirmware();
    // The baud index the engine answered at, or -1.
    int findEngine();
    Outcome startDownload(const UpdateValues& values);
    Outcome followEngine();

    bool stopping() const { return m_Hooks.stopping && m_Hooks.stopping(); }
    void sleep(int ms) { m_Session.clock().sleepMs(ms); }
    void step() {
        if (m_Hooks.step) m_Hooks.step();
    }
    void position(int at) {
        if (m_Hooks.position) m_Hooks.position(at);
    }
    void status(std::string_view text) {
        if (m_Hooks.status) m_Hooks.status(text);
    }
    void message(std::string_view text) {
        if (m_Hooks.message) m_Hooks.message(text);
    }

    ModemSession& m_Session;
    Hooks m_Hooks;
    UpdateEngine m_Engine;
};

} // namespace tessadorn
