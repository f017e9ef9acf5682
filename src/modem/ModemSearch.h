#pragma once

#include "modem/ModemSession.h"
#include "modem/StatusQueries.h"

#include <functional>
#include <string>
#include <string_view>

namespace tessadorn {

// Finds the modem on the port: one try at the rate the port is open at (written raw),
// then every rate in turn, 9600 first, until it answers "DEVICE?". The rate found becomes the
// session's, which saves it in the device profile.
//
// Nothing has answered at the rate being tried, so its wait may be cut short: a dialog that
// announces a pause section gets the line within a step of the port, and that rate is tried
// again after the dialog. When the port's device is gone (a pulled adapter, a restarted
// simulator) the search says so, waits for it in short steps (still pausing and stopping between
// them), opens it again and tries the held rate first.
class ModemSearch {
  public:
    static constexpr int kScanPauseMs = 100;
    // How long one wait for a gone device lasts between two checkpoints.
    static constexpr int kDeviceWaitStepMs = 100;

    struct Hooks {
        // The status line for each rate tried ("Connecting at 9600...").
        std::function<void(std::string_view)> status;
        // Called before every exchange; false ends the search (the worker stops, or a deadline
        // passed).
        std::function<bool()> checkpoint;
        // After a round that found nothing: false ends the search.
        std::function<bool()> keepSearching;
        // The port's device is gone; the search now waits for it (may be empty).
        std::function<void()> deviceGone = {};
    };
    enum class Found { Yes, No, Stopping, DeviceGone };

    ModemSearch(ModemSession& session, Hooks hooks);

    static constexpr std::string_view kTableStillComingText =
        "The modem is still sending a source table; waiting for its end...";

    // Held rate, then the scan, round after round; true once the modem answered.
    bool find();
    // True when the search met a modem still sending a source table.
    bool tableHeard() const { return m_TableHeard; }
    Found tryHeldRate();
    Found scanRates();
    // Waits for a gone device and opens it again, at the held rate when there is one: No once
    // it is open (search again), Stopping when the worker must end.
    Found awaitDevice();

  private:
    // The device went away, or the port is closed and its device not there.
    bool deviceGone();
    // Runs one exchange of the search with the channel's yield flag set to the monitor gate's.
    bool yielding(const std::function<bool()>& exchange);

    ModemSession& m_Session;
    StatusQueries m_Queries;
    Hooks m_Hooks;
    bool m_TableHeard = false;
};

// Status text of the rate scan ("Connecting at 9600..."); empty for an index without a rate.
std::string connectingAtText(int baudIndex);

} // namespace tessadorn
