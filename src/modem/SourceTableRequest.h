#pragma once

#include "modem/CasterAddress.h"
#include "modem/ModemSession.h"
#include "modem/SourceTable.h"
#include "modem/SourceTableScanner.h"

#include <atomic>

namespace tessadorn {

// The message for a source table that did not come: what the caster said, or "Error 2" (also for
// a stream that never ended).
std::string_view sourceTableFailureText(SourceTableScanner::End end);

// A caster's source table through the modem: the modem's own reports silenced, the LIST
// command for the caster, the table read as it arrives, and the end of the exchange.
class SourceTableRequest {
  public:
    static constexpr int kSignalOffResends = 5;
    static constexpr int kListResends = 1;
    static constexpr int kListReadLimit = 512;
    static constexpr int kCloseReadLimit = 128;
    static constexpr int kClosePauseMs = 1000;

    explicit SourceTableRequest(ModemSession& session);

    // "#SIGNAL OFF" until "SIGNAL OFF" comes back (resent 5 times).
    bool signalOff();
    // The LIST command, then the table into `table` (emptied first). End::Table when the whole
    // table came; ReadFailures also when the modem refused the command or it could not be sent.
    // `progress` hears the rows read so far a few times a second while the table comes, and
    // whether the rest is being discarded. After a stop (see requestStop) the rest of the table
    // is discarded as it comes and the exchange closed: End::Stopped, the line free again.
    SourceTableScanner::End readTable(const CasterAddress& caster, SourceTable& table,
                                      const SourceTableScanner::Progress& progress = {});
    // After a table: the modem's "SHUTDOWN" of the caster link and its prompt.
    void closeExchange();

    // Any thread: the user wants no more of the table. The modem cannot be told to stop
    // sending, so readTable() keeps no more rows and reads the rest to its end.
    void requestStop() { m_Stop = true; }
    bool stopRequested() const { return m_Stop.load(); }

  private:
    ModemSession& m_Session;
    std::atomic<bool> m_Stop{false};
};

} // namespace tessadorn
