#pragma once

#include "cli/Commands.h"
#include "modem/ModemSession.h"
#include "modem/SourceTable.h"
#include "store/CasterStore.h"
#include "store/PortRates.h"

#include <memory>
#include <string_view>

namespace tessadorn::cli {

// A failed command: its status and the message (a dialog's text, its line ends as LF).
Result fail(int status, std::string_view message);
// As fail, for a message already in UTF-8 (one that quotes what the user typed).
Result failTyped(int status, std::string message);
// A command that did what it was asked: the message on stdout, and as {"message": ...}.
Result done(std::string_view message);
// A dialog's message for a terminal: CR LF as LF, the device code page as UTF-8.
std::string forTerminal(std::string_view message);

// The command line's link to the modem: one session on the port, found within the timeout. A
// command that a watch serves borrows the watch's session (Environment::session): a modem the
// watch has ready is neither searched for nor read again, and one it has not is not searched
// for by the command (the watch does that).
class Modem {
  public:
    Modem(Environment& environment, int timeoutSeconds);
    ModemSession& session() { return m_Session; }
    // The session is a watch's, and its modem is ready.
    bool borrowedReady() const { return m_Env.session && m_Session.deviceReady(); }

    // Opens the port at the held rate (tessadorn.cfg) and looks for the modem there, then at
    // every rate, until it answers (the rate found is saved) or the timeout passed. False with
    // status 1 and the reason in `r`.
    bool find(Result& r);
    // The rate to look at first: the port's own (tessadorn.ports), else the folder's
    // (tessadorn.cfg).
    void holdKnownRate();
    // Keeps the rate the session now holds as this port's (after a command moved it); a file
    // left as it is is said in `r`.
    void keepRate(Result& r);
    // find, then the start-up the window's monitor runs (configuration, what the role is asked
    // about, the caster list brought in line with the modem).
    bool start(CasterStore& store, Result& r);
    // The command's time grows by `seconds` (here and in the program's own bound).
    void extend(int seconds);
    // A line of progress for a watching user; empty clears it.
    void progress(std::string_view line);
    // The caster's source table through the modem into `table`, as the Connect control reads
    // it. The command's timeout bounds the search and the table together. Ctrl-C stops keeping
    // rows: the rest is read to its end and let go, and the command ends with status 1.
    bool readTable(const CasterEntry& caster, SourceTable& table, Result& r);

  private:
    PortRates portRates() const;
    bool interrupted() const { return m_Env.interrupted && m_Env.interrupted->load(); }

    Environment& m_Env;
    int m_TimeoutSeconds;
    std::unique_ptr<ModemSession> m_Own;
    ModemSession& m_Session;
    // When the command's time is up (the session's clock).
    std::int64_t m_Deadline;
    bool m_Opened = false;
};

} // namespace tessadorn::cli
