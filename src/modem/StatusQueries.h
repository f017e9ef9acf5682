#pragma once

#include "modem/ModemSession.h"

#include <cstddef>
#include <optional>

namespace tessadorn {

// The monitor's exchanges with the modem: finding it at a rate, reading its configuration and
// the state it is polled for. Every reply is parsed here and written into the session's values;
// the callers see named results only.
class StatusQueries {
  public:
    // How hard a query tries: at start-up a few resends with a short read limit; while polling
    // one attempt with a long one.
    enum class Attempt { AtStart, WhilePolling };
    // What "#AUTO?" and "#STCONNECT" answer.
    enum class OnOff { NoAnswer = 0, On = 1, Off = 2 };
    struct ApnState {
        int apnReady = 0;
        int simState = 0;
    };

    static constexpr int kIdentifyReadLimit = 2048;
    // How much of the line hearsSourceTable() looks at: rows of any table, and about what comes
    // in one read at 9600 bit/s.
    static constexpr std::size_t kTablePeekBytes = 512;
    static constexpr int kStateReadLimit = 2048;
    static constexpr std::size_t kApnReplyCapacity = 20;
    static constexpr std::size_t kSignalReplyCapacity = 100;
    static constexpr std::size_t kReplyCapacity = 256;
    static constexpr std::size_t kServerIpCapacity = 25;

    explicit StatusQueries(ModemSession& session);

    // "DEVICE?" written once at the rate the port is open at, without purging what came before.
    bool answersAtOpenRate();
    // "DEVICE?" as a transaction with one resend: the try at each rate of the scan.
    bool identifies();
    // True when the bytes the line brings within one read are a source table's records: a modem
    // still sending the table a program before asked for (and stopped or left) answers nothing
    // until its end.
    bool hearsSourceTable();
    // "#GETCFG?": the serial number, firmware, IMEI and APN values into the session; the
    // modem's role (kModeServer or kModeClient), or nothing when the reply did not come or
    // lacked fields.
    std::optional<int> readConfiguration();
    // "#GETGGA?": where the reported position comes from. A rover on a manual position counts
    // as a receiver of unknown type when `manualIsUnknownType`.
    bool readPositionSource(bool manualIsUnknownType);
    // "#GETBRD?": the relay broadcast.
    bool readBroadcast();
    // "IP?": the base's address ("null\r\n" while it has none).
    bool readServerIp(Attempt attempt);
    // "#AUTO?" and "#STCONNECT".
    OnOff readAutoConnect();
    OnOff readConnectionState(Attempt attempt);
    // "ADDRSERVER?": the caster the modem keeps.
    bool readStoredCaster();
    // "#APN": APN and SIM state; nothing when there was no usable reply.
    std::optional<ApnState> readApnState();
    // "#SIGNALONCE": the signal level.
    std::optional<int> readSignal();

  private:
    bool capture(std::string_view command, std::string_view start, std::string& out,
                 std::size_t capacity, Attempt attempt);

    ModemSession& m_Session;
    Transactions m_Tx;
};

} // namespace tessadorn
