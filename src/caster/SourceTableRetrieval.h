#pragma once

#include "modem/ModemSession.h"
#include "modem/SourceTable.h"
#include "modem/SourceTableScanner.h"
#include "store/CasterStore.h"

#include <string>
#include <string_view>

namespace tessadorn {

class Dialog;

// Reads the current caster's source table through the modem and opens the mountpoint dialog
// on it, all on the dialog thread. The monitor stays paused from the first command until the
// mountpoint dialog has closed. Escape while the table comes asks whether to stop; on Yes the
// rest is discarded as the modem sends it, and no dialog opens.
class SourceTableRetrieval {
  public:
    SourceTableRetrieval(Dialog& parent, ModemSession& session, CasterStore& store,
                         SourceTable& table);

    // The whole retrieval, from "#SIGNAL OFF" to the closed mountpoint dialog or the message.
    void run();

    // The message box text for a retrieval that ended without a table.
    static std::string_view failureText(SourceTableScanner::End end);
    // The window's title while the table comes in, and once the rest of it is discarded.
    static std::string progressText(int rows);
    static constexpr std::string_view kDiscardingText = "Modem still sending the rest";
    // Asked when the user presses Escape while the table comes in (Attention, Yes/No).
    static constexpr std::string_view kStopQuestion = "Stop reading the mountpoints?";

  private:
    Dialog& m_Parent;
    ModemSession& m_Session;
    CasterStore& m_Store;
    SourceTable& m_Table;
};

} // namespace tessadorn
