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
// mountpoint dialog has closed.
class SourceTableRetrieval {
  public:
    SourceTableRetrieval(Dialog& parent, ModemSession& session, CasterStore& store,
                         SourceTable& table);

    // The whole retrieval, from "#SIGNAL OFF" to the closed mountpoint dialog or the message.
    void run();

    // The window's title while the table comes in.
    static std::string progressText(int rows);

  private:
    Dialog& m_Parent;
    ModemSession& m_Session;
    CasterStore& m_Store;
    SourceTable& m_Table;
};

} // namespace tessadorn
