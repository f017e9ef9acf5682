#include "app/ReportingSerialPort.h"

#include "platform/PortOpenFailure.h"

namespace tessadorn {

ReportingSerialPort::ReportingSerialPort(std::string devicePath,
                                         std::function<void(const std::string&)> report)
    : m_Port(std::move(devicePath)), m_Report(std::move(report)) {}

bool ReportingSerialPort::open(int baudIndex) {
    if (m_Port.open(baudIndex)) {
        m_Opened = true;
        m_Failed = false;
        m_GoneReported = false;
        return true;
    }
    if (!m_Failed.exchange(true) && m_Report)
        m_Report(describePortOpenFailure(m_Port.devicePath(), m_Port.openError(),
                                         static_cast<int>(m_Port.holderPid())));
    return false;
}

std::size_t ReportingSerialPort::read(std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t got = m_Port.read(buffer, capacity);
    noticeGone();
    return got;
}

void ReportingSerialPort::write(const std::uint8_t* data, std::size_t length) {
    m_Port.write(data, length);
    noticeGone();
}

void ReportingSerialPort::noticeGone() {
    if (m_Port.deviceGone() && !m_GoneReported.exchange(true) && m_Report)
        m_Report("The serial device " + m_Port.openedPath() +
                 " went away; the port is closed until it is back.");
}

} // namespace tessadorn
