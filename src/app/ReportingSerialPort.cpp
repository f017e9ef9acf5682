#include "app/ReportingSerialPort.h"

#include "platform/PortOpenFailure.h"

namespace tessadorn {

ReportingSerialPort::ReportingSerialPort(std::string devicePath,
                                         std::function<void(const std::string&)> report)
    : m_Port(std::move(devicePath)), m_Report(std::move(report)) {}

bool ReportingSerialPort::open(int baudIndex) {
    if (m_Port.open(baudIndex)) {
        m_Failed = false;
        return true;
    }
    if (!m_Failed.exchange(true) && m_Report)
        m_Report(describePortOpenFailure(m_Port.devicePath(), m_Port.openError()));
    return false;
}

} // namespace tessadorn
