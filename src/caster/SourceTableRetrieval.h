#pragma once

#include "caster/CasterAccess.h"
#include "caster/SourceTableScanner.h"

#include <string_view>

namespace tessadorn {

class Dialog;

// Reads the current caster's source table through the modem and opens the mountpoint dialog
// on it, all on the dialog thread. The monitor stays paused from the first command until the
// mountpoint dialog has closed.
class SourceTableRetrieval {
  public:
    static constexpr int kSignalOffResends = 5;
    static constexpr int kListResends = 1;
    static constexpr int kListReadLimit = 512;
    static constexpr int kCloseReadLimit = 128;
    static constexpr int kClosePauseMs = 1000;

    SourceTableRetrieval(Dialog& parent, CasterAccess access);

    // The whole retrieval, from "#SIGNAL OFF" to the closed mountpoint dialog or the message.
    void run();

    // The message box text for a retrieval that ended without a table.
    static std::string_view failureText(SourceTableScanner::End end);

  private:
    void closeExchange();

    Dialog& m_Parent;
    CasterAccess m_Access;
};

} // namespace tessadorn
