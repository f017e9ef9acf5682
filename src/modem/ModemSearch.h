#pragma once

#include "modem/ModemSession.h"
#include "modem/StatusQueries.h"

#include <functional>
#include <string>
#include <string_view>

namespace tessadorn {

// Finds the modem on the port: one try at the held rate (the session's baud index, written raw),
// then every rate in turn, 9600 first, until it answers "DEVICE?". The rate found becomes the
// session's and is reported through `rateFound` (the caller saves it).
class ModemSearch {
  public:
    static constexpr int kScanPauseMs = 100;

    struct Hooks {
        // The status line for each rate tried ("Connecting at 9600...").
        std::function<void(std::string_view)> status;
        // Called before every exchange; false ends the search (the worker stops, or a deadline
        // passed).
        std::function<bool()> checkpoint;
        // After a round that found nothing: false ends the search.
        std::function<bool()> keepSearching;
        std::function<void(int)> rateFound;
    };
    enum class Found { Yes, No, Stopping };

    ModemSearch(ModemSession& session, Hooks hooks);

    // Held rate, then the scan, round after round; true once the modem answered.
    bool find();
    Found tryHeldRate();
    Found scanRates();

  private:
    ModemSession& m_Session;
    StatusQueries m_Queries;
    Hooks m_Hooks;
};

// Status text of the rate scan ("Connecting at 9600..."); empty for an index without a rate.
std::string connectingAtText(int baudIndex);

} // namespace tessadorn
