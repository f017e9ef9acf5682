#include "app/ReportingSerialPort.h"

#include "platform/DebugOutput.h"
#include "platform/RemotePortAddress.h"
#include "platform/SerialPortFactory.h"
#include "platform/TextCodec.h"

#include <cstdio>
#include <errno.h>

namespace tessadorn {

ReportingSerialPort::ReportingSerialPort(std::string devicePath,
                                         std::function<void(const std::string&)> report)
    : m_Name(std::move(devicePath)), m_Port(makeSerialPort(m_Name)),
      m_Local(dynamic_cast<TermiosSerialPort*>(m_Port.get())), m_Report(std::move(report)) {
    std::string why;
    const auto remote =
        isRemotePortName(m_Name) ? parseRemotePortAddress(m_Name, why) : std::nullopt;
    m_OffThisComputer = remote && !remote->onLoopback();
}

std::string ReportingSerialPort::passwordWarning(const std::string& name) {
    return "warning: a password goes to the remote port " + name +
           " in clear text across the network; reach ser2net through an SSH tunnel or its TLS "
           "(see README, \"Remote modems\").";
}

void ReportingSerialPort::warnOfPasswordOnTheNetwork(const std::uint8_t* data, std::size_t length) {
    if (!m_OffThisComputer || m_PasswordWarned.load()) return;
    const std::string_view text(reinterpret_cast<const char*>(data), length);
    if (!holdsHiddenText(deviceToUtf8(text)) || m_PasswordWarned.exchange(true)) return;
    const std::string warning = passwordWarning(m_Name);
    debugLine(warning + "\r\n");
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, warning.c_str());
}

bool ReportingSerialPort::open(int baudIndex) {
    if (m_Port->open(baudIndex)) {
        m_Opened = true;
        m_Failed = false;
        m_GoneReported = false;
        return true;
    }
    if (!m_Failed.exchange(true) && m_Report) m_Report(m_Port->openFailure());
    return false;
}

std::size_t ReportingSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t got = m_Port->read(buffer, capacity);
    noticeGone();
    return got;
}

std::size_t ReportingSerialPort::readAvailable(std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t got = m_Port->readAvailable(buffer, capacity);
    noticeGone();
    return got;
}

void ReportingSerialPort::write(const std::uint8_t* data, std::size_t length) {
    warnOfPasswordOnTheNetwork(data, length);
    m_Port->write(data, length);
    noticeGone();
}

int ReportingSerialPort::changeRate(int baudIndex) {
    const int moved = m_Port->changeRate(baudIndex);
    noticeGone();
    return moved;
}

void ReportingSerialPort::noticeGone() {
    if (m_Port->deviceGone() && !m_GoneReported.exchange(true) && m_Report)
        m_Report(m_Port->goneMessage());
}

} // namespace tessadorn
