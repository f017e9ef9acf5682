#pragma once

#include "console/MonitorHooks.h"
#include "console/StatusDisplay.h"
#include "link/DeviceConfig.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"
#include "platform/Clock.h"
#include "platform/PauseGate.h"

#include <atomic>
#include <string>

namespace tessadorn {

// The background worker that finds the modem on the serial port, identifies it, reads its
// configuration into DeviceConfig, fills the status panel and then polls APN, SIM and signal
// state until three polls in a row fail, when it clears the panel and searches again.
//
// It only ever pauses between two exchanges with the modem (PauseGate::checkpoint), and ends at
// the next one once the gate stops; the channel's abort flag cuts a running read short.
class MonitorThread {
  public:
    struct Shared {
        SerialChannel& m_Serial;
        std::atomic<int>& m_Reading;
        std::atomic<int>& m_DeviceReady;
        std::atomic<int>& m_Mode;
        std::atomic<int>& m_BaudIndex;
        std::atomic<int>& m_StConnect;
        std::atomic<int>& m_AutoConnect;
        DeviceConfig& m_Device;
        PauseGate& gate;
        Clock& clock;
    };

    // Reply buffers the worker keeps for its whole run.
    static constexpr std::size_t kApnReplyCapacity = 20;
    static constexpr std::size_t kSignalReplyCapacity = 100;
    static constexpr std::size_t kReplyCapacity = 256;
    static constexpr std::size_t kServerIpCapacity = 25;
    static constexpr int kPollMs = 500;
    static constexpr int kScanPauseMs = 100;
    static constexpr int kFailedPollLimit = 3;

    MonitorThread(Shared shared, StatusDisplay& display, MonitorHooks& hooks);

    // The worker's body: returns when the gate stops (or the port cannot be opened).
    void run();

  private:
    bool running() const { return !m_Shared.gate.stopping(); }
    // Where the worker may be paused, between two exchanges; false once it must stop.
    bool pauseCheckpoint() { return m_Shared.gate.checkpoint(); }
    // Finds the modem's rate: a try at the held rate, then the scan; false once stopping.
    bool identify();
    enum class Found { Yes, No, Stopping };
    Found tryHeldRate();
    Found scanRates();
    bool configure();
    void serverBranch();
    void clientBranch();
    void poll();
    void linkLost();
    void drawApnState(int apnReady, int simState, int signal);
    int capture(std::string_view cmd, std::string_view start, std::string& out,
                std::size_t capacity, int resends, int readLimit);

    Shared m_Shared;
    Transactions m_Tx;
    StatusDisplay& m_Display;
    MonitorHooks& m_Hooks;
};

// Status text of the rate scan ("Connecting at 9600..."); empty for an index without a rate.
std::string connectingAtText(int baudIndex);

} // namespace tessadorn
