#pragma once

#include "CasterRequest.h"
#include "CasterService.h"
#include "CellularEngine.h"
#include "CorrectionFirmware.h"
#include "OutputQueue.h"
#include "SimSettings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace tessadorn::sim {

// The Tessadorn modem as a byte-in / bytes-out state machine on a clock.
//
// feed() hands it what arrived on its serial line, with the baud index the sender used and the
// moment; bytes sent at another rate than the one it listens at are lost. Its answers wait in an
// output queue, each byte with the moment it has arrived at the other end (paced at the line
// rate unless pacing is off). Everything that happens later by itself (a restart ending, a
// caster answering, the update's progress lines, timed changes of SIM, APN and signal) is
// applied as the clock passes it, whenever the modem is fed or its output is looked at.
//
// Times are milliseconds (or microseconds, *Us) on one clock that only goes forward.
class SimModem {
  public:
    // Called for every command line the modem received, with its CR LF.
    using CommandListener = std::function<void(const std::string& command, std::int64_t nowMs)>;

    // Powers on at `startMs`. Without `casters`, the offline casters of the settings are used
    // (or the network ones with settings.network).
    SimModem(SimSettings settings, std::int64_t startMs,
             std::unique_ptr<CasterService> casters = nullptr);

    void feed(std::string_view bytes, int baudIndex, std::int64_t nowMs) {
        feedUs(bytes, baudIndex, nowMs * 1000);
    }
    void feedUs(std::string_view bytes, int baudIndex, std::int64_t nowUs);

    // The moment the next output byte has arrived, OutputQueue::kNever when nothing is queued.
    std::int64_t nextOutputUs();
    std::int64_t nextOutputMs();
    // The next output byte as a receiver at `lineBaudIndex` sees it; only when one is queued.
    std::uint8_t takeByte(int lineBaudIndex);
    // Every byte that has arrived by `nowUs`.
    std::string takeDue(std::int64_t nowUs, int lineBaudIndex);
    // The receiver purged its buffer at `nowMs`: what had arrived by then is gone.
    void purged(std::int64_t nowMs);
    // Applies what the clock has passed by `nowUs` (timed settings, restarts, rate changes).
    void advanceUs(std::int64_t nowUs);
    // The next moment something happens by itself, OutputQueue::kNever when nothing will.
    std::int64_t nextEventUs() const;

    void setCommandListener(CommandListener listener) { m_Listener = std::move(listener); }

    // ---- What an observer (a test, the runner's log) can see ----
    const SimSettings& state() const { return m_State; }
    int listeningBaudIndex() const;
    bool inEngine() const { return m_Engine; }
    bool restarting(std::int64_t nowMs) const { return nowMs * 1000 < m_SilentUntilUs; }
    int commandsReceived() const { return m_Commands; }
    int restarts() const { return m_Restarts; }
    const CellularEngine& engine() const { return m_CellularEngine; }

  private:
    void handleLine(const std::string& line, std::int64_t nowUs);
    void handleEngine(const std::string& line, std::int64_t nowUs);
    // Sends the firmware's reaction on the modem's clock and applies what follows it.
    void play(const CorrectionFirmware::Reaction& reaction, std::int64_t nowUs);
    CasterService& casterService();

    // Queues an answer `delayMs` after the reply delay; returns when its last byte has arrived.
    std::int64_t reply(std::string_view text, std::int64_t nowUs, int delayMs = 0);
    std::int64_t send(std::string_view text, std::int64_t startUs);
    void at(std::int64_t whenUs, std::function<void()> action);
    // Restarts at `whenUs`: output stops, silence for the restart time, then the firmware.
    void restart(std::int64_t whenUs);
    void moveToRate(int baudIndex, std::int64_t whenUs);

    // Cellular state as reported at `nowUs`.
    int simState(std::int64_t nowUs) const;
    bool apnUp(std::int64_t nowUs) const;
    int signal(std::int64_t nowUs) const;

    SimSettings m_State;
    std::unique_ptr<CasterService> m_Casters;
    CellularEngine m_CellularEngine;
    CorrectionFirmware m_Firmware;
    OutputQueue m_Out;
    std::multimap<std::int64_t, std::function<void()>> m_Events;
    CommandListener m_Listener;

    std::string m_Line;
    bool m_Engine = false;
    std::int64_t m_BootUs = 0;        // when the current run of the firmware started
    std::int64_t m_SilentUntilUs = 0; // restarting until then
    int m_Commands = 0;
    int m_Restarts = 0;
};

} // namespace tessadorn::sim
