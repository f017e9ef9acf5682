#pragma once

#include "modem/CasterAddress.h"
#include "modem/ModemSession.h"
#include "modem/SourceTable.h"
#include "modem/SourceTableScanner.h"

namespace tessadorn {

// The message for a source table that did not come: what the caster said, or "Error 2".
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
    // `progress` hears the rows read so far a few times a second while the table comes.
    SourceTableScanner::End readTable(const CasterAddress& caster, SourceTable& table,
                                      const SourceTableScanner::Progress& progress = {});
    // After a table: the modem's "SHUTDOWN" of the caster link and its prompt.
    void closeExchange();

  private:
    ModemSession& m_Session;
};

} // namespace tessadorn
