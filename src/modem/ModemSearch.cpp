#include "modem/ModemSearch.h"

#include "platform/DebugOutput.h"
#include "platform/SerialPort.h"

namespace tessadorn {

std::string connectingAtText(int baudIndex) {
    if (!isBaudIndex(baudIndex)) return {};
    return "Connecting at " + std::to_string(baudRateForIndex(baudIndex)) + "...";
}

ModemSearch::ModemSearch(ModemSession& session, Hooks hooks)
    : m_Session(session), m_Queries(session), m_Hooks(std::move(hooks)) {}

bool ModemSearch::find() {
    // When nothing answers, start over on the port as last opened.
    for (;;) {
        const std::uint64_t heard = m_Session.serial().BytesRead();
        Found found = tryHeldRate();
        // A line that went on bringing bytes without an answer may carry a source table that
        // the modem still sends. It answers at this rate once the table ends: the search reads
        // on until the table's bytes stop, without writing into it, and asks here again.
        if (found == Found::No &&
            m_Session.serial().BytesRead() - heard >= StatusQueries::kIdentifyReadLimit / 2 &&
            m_Queries.hearsSourceTable()) {
            m_TableHeard = true;
            m_Hooks.status(kTableStillComingText);
            while (m_Hooks.checkpoint() && m_Queries.hearsSourceTable()) {
            }
            continue;
        }
        if (found == Found::No) found = scanRates();
        if (found == Found::DeviceGone) found = awaitDevice();
        if (found == Found::Yes) return true;
        if (found == Found::Stopping || !m_Hooks.keepSearching()) return false;
    }
}

bool ModemSearch::deviceGone() {
    SerialChannel& serial = m_Session.serial();
    return serial.DeviceGone() || (!serial.IsOpen() && !serial.DevicePresent());
}

bool ModemSearch::yielding(const std::function<bool()>& exchange) {
    SerialChannel& serial = m_Session.serial();
    serial.SetYieldFlag(&m_Session.monitorGate().yieldFlag());
    const bool answered = exchange();
    // Taken away before the worker may park: the dialog's own exchanges must not yield.
    serial.SetYieldFlag(nullptr);
    return answered;
}

// A first try at the rate the port is open at, written raw: the held rate, or the rate a dialog
// reopened the port at since (38400 after an update), or after a scan that found nothing the
// rate it was last opened at. A modem that answers there is found at that rate, the one the
// link runs at (never at "no rate", which would send the search round this try for as long as
// the modem answers).
ModemSearch::Found ModemSearch::tryHeldRate() {
    SerialChannel& serial = m_Session.serial();
    const bool held = m_Session.baudIndex() >= 0;
    for (;;) {
        // After a scan that found nothing the status line stays as the scan left it.
        if (const auto text = connectingAtText(serial.OpenIndex()); held && !text.empty())
            m_Hooks.status(text);
        if (!m_Hooks.checkpoint()) return Found::Stopping;
        if (deviceGone()) return Found::DeviceGone;
        if (yielding([this] { return m_Queries.answersAtOpenRate(); })) break;
        if (deviceGone()) return Found::DeviceGone;
        // A dialog wanted the line: after it this rate is tried again.
        if (!m_Session.monitorGate().yieldRequested()) return Found::No;
    }
    m_Session.rateFound();
    return Found::Yes;
}

// Every rate in turn, 9600 first.
ModemSearch::Found ModemSearch::scanRates() {
    const auto gone = [&] {
        // The next search starts at the held rate again.
        m_Session.scanCutShort();
        return Found::DeviceGone;
    };
    m_Session.scanStarts();
    SerialChannel& serial = m_Session.serial();
    // A port fixed at one rate (a raw TCP port) is tried at that rate only: any other would
    // seem to answer and be kept wrongly.
    const int fixed = serial.FixedIndex();
    for (int index = 0; index < kBaudIndexCount; ++index) {
        if (fixed >= 0 && index != fixed) continue;
        m_Hooks.status(connectingAtText(index));
        if (!m_Hooks.checkpoint()) return Found::Stopping;
        if (deviceGone()) return gone();
        // A remote port keeps its connection and changes the rate in band.
        const int moved = serial.ChangeRateInBand(index);
        if (moved < 0) {
            serial.Close();
            m_Session.clock().sleepMs(kScanPauseMs);
        }
        if (moved == 0 || (moved < 0 && !serial.Open(index))) {
            if (deviceGone()) return gone();
            continue;
        }
        m_Session.clock().sleepMs(kScanPauseMs);
        if (yielding([this] { return m_Queries.identifies(); })) {
            m_Session.rateFound();
            return Found::Yes;
        }
        if (deviceGone()) return gone();
        // A dialog wanted the line: after it this rate is tried again.
        if (m_Session.monitorGate().yieldRequested()) --index;
    }
    return Found::No;
}

ModemSearch::Found ModemSearch::awaitDevice() {
    debugLine("The port is gone; waiting for it\r\n");
    if (m_Hooks.deviceGone) m_Hooks.deviceGone();
    SerialChannel& serial = m_Session.serial();
    for (;;) {
        if (!m_Hooks.checkpoint()) return Found::Stopping;
        if (!serial.WaitForDevice(kDeviceWaitStepMs)) continue;
        // Back at the held rate, or at the rate the port was last opened at.
        const int held = m_Session.baudIndex();
        bool open = false;
        if (held >= 0) {
            serial.Close();
            open = serial.Open(held) != 0;
        } else {
            open = serial.Reopen() != 0;
        }
        if (open) {
            debugLine("The port is back\r\n");
            return Found::No;
        }
        // There, but not to be opened yet (its permissions may still be set): a moment later.
        m_Session.clock().sleepMs(kDeviceWaitStepMs);
    }
}

} // namespace tessadorn
