#pragma once

#include "FakeSerialPort.h"
#include "SimModem.h"

namespace tessadorn::test {

// The simulated modem behind a FakeSerialPort: what the program writes is fed to the modem with
// the port's rate and the virtual time; the modem's output is read byte by byte as a receiver at
// the port's rate sees it.
class SimModemPeer final : public SerialPeer {
  public:
    explicit SimModemPeer(sim::SimModem& modem) : m_Modem(modem) {}

    void received(std::string_view bytes, int baudIndex, std::int64_t nowMs) override;
    std::int64_t readyAt(int baudIndex) override;
    std::uint8_t take() override;
    void purged(int baudIndex, std::int64_t nowMs) override;

  private:
    sim::SimModem& m_Modem;
    int m_LineBaudIndex = -1;
};

} // namespace tessadorn::test
