#include "modem/ModemSearch.h"

#include "platform/SerialPort.h"

namespace tessadorn {

std::string connectingAtText(int baudIndex) {
    if (baudIndex < 0 || baudIndex > 4) return {};
    return "Connecting at " + std::to_string(baudRateForIndex(baudIndex)) + "...";
}

ModemSearch::ModemSearch(ModemSession& session, Hooks hooks)
    : m_Session(session), m_Queries(session), m_Hooks(std::move(hooks)) {}

bool ModemSearch::find() {
    // When nothing answers, start over on the port as last opened.
    for (;;) {
        Found found = tryHeldRate();
        if (found == Found::No) found = scanRates();
        if (found == Found::Yes) return true;
        if (found == Found::Stopping || !m_Hooks.keepSearching()) return false;
    }
}

// A first try at the held rate, written raw.
ModemSearch::Found ModemSearch::tryHeldRate() {
    const int held = m_Session.baudIndex().load();
    if (const auto text = connectingAtText(held); !text.empty()) m_Hooks.status(text);
    if (!m_Hooks.checkpoint()) return Found::Stopping;
    if (!m_Queries.answersAtOpenRate()) return Found::No;
    // After a scan that found nothing the port is open at the rate it was last opened at, by
    // the scan or by a dialog that reopened it since; a modem that answers there now is found
    // at that rate (never at "no rate", which would send the search round this try for as long
    // as the modem answers).
    const int found = held < 0 ? m_Session.serial().OpenIndex() : held;
    m_Session.baudIndex() = found;
    m_Hooks.rateFound(found);
    return Found::Yes;
}

// Every rate in turn, 9600 first.
ModemSearch::Found ModemSearch::scanRates() {
    m_Session.baudIndex() = -1;
    SerialChannel& serial = m_Session.serial();
    for (int index = 0; index <= 4; ++index) {
        m_Hooks.status(connectingAtText(index));
        if (!m_Hooks.checkpoint()) return Found::Stopping;
        serial.Close();
        m_Session.clock().sleepMs(kScanPauseMs);
        if (!serial.Open(index)) continue;
        m_Session.clock().sleepMs(kScanPauseMs);
        if (m_Queries.identifies()) {
            m_Session.baudIndex() = index;
            m_Hooks.rateFound(index);
            return Found::Yes;
        }
    }
    return Found::No;
}

} // namespace tessadorn
