#include "modem/ModemSession.h"

#include "platform/DebugOutput.h"

namespace tessadorn {

ModemSession::ModemSession(SerialPort& port, Clock& clock, std::string profilePath,
                           FileWriter& writer)
    : m_Clock(clock), m_Serial(port, clock),
      m_Profile(m_BaudIndex, m_SavedBaudIndex, std::move(profilePath), writer) {
    // A read in progress ends at once when the program closes.
    m_Serial.SetAbortFlag(&m_Closing);
}

PauseSection ModemSession::pause(std::string_view name, WaitCursor& cursor) {
    return PauseSection(name, m_Reading, m_MonitorGate, cursor, m_Clock);
}

PauseSection ModemSession::pause(std::string_view name, WaitCursor& cursor,
                                 PauseSection::Options options) {
    return PauseSection(name, m_Reading, m_MonitorGate, cursor, m_Clock, options);
}

void ModemSession::rateFound() {
    const int found = m_Serial.OpenIndex();
    m_BaudIndex = found;
    debugLine("Modem answered at " + std::to_string(baudRateForIndex(found)) + "\r\n");
    m_Profile.SaveProfile(found);
}

void ModemSession::scanStarts() {
    m_HeldBeforeScan = m_BaudIndex.exchange(-1);
}

void ModemSession::scanCutShort() {
    if (m_HeldBeforeScan >= 0) m_BaudIndex = m_HeldBeforeScan;
}

void ModemSession::lost() {
    m_DeviceReady = 0;
    m_Mode = -1;
}

void ModemSession::connectionOffForgotten() {
    int off = kConnectionOff;
    m_StConnect.compare_exchange_strong(off, kConnectionUnknown);
}

void ModemSession::moveLinkTo(int baudIndex) {
    m_BaudIndex = baudIndex;
    m_Profile.SaveProfile(baudIndex);
    // A remote port moves in band; a local one is closed and opened again.
    if (m_Serial.ChangeRateInBand(baudIndex) > 0) return;
    debugLine("Closing COM...\r\n");
    m_Serial.Close();
    debugLine("Opening COM...\r\n");
    m_Serial.Open(baudIndex);
}

void ModemSession::abortLink() {
    // The gate first: a read cut short by the flag must find the monitor already told to stop,
    // or it counts as a lost modem and the last state is wiped on the way out.
    m_MonitorGate.stop();
    m_Closing = true;
}

} // namespace tessadorn
