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

void ModemSession::rateFound(int baudIndex) {
    m_BaudIndex = baudIndex;
    m_Profile.SaveProfile(baudIndex);
}

void ModemSession::moveLinkTo(int baudIndex) {
    rateFound(baudIndex);
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
