#pragma once

#include "FakeSerialPort.h"
#include "SimModem.h"
#include "SimModemPeer.h"
#include "link/SerialChannel.h"
#include "link/Transactions.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace tessadorn::test {

// The program's end of a line to the simulated modem, in virtual time: the link layer over the
// fake serial port, with the modem behind it.
class SimLine {
  public:
    explicit SimLine(sim::SimSettings settings, int portBaudIndex = -2)
        : modem(std::move(settings), 0), peer(modem), port(clock, peer), serial(port, clock),
          tx(serial, reading) {
        serial.Open(portBaudIndex == -2 ? modem.state().baudIndex : portBaudIndex);
    }

    void reopen(int baudIndex) {
        serial.Close();
        serial.Open(baudIndex);
    }

    // A query's reply text between its prefix and "<OK\r\n", or "(none)".
    std::string query(std::string_view command, std::string_view prefix) {
        std::string out;
        return tx.SendCapture(command, prefix, "<OK\r\n", out, 200, 1, 2048) ? out : "(none)";
    }
    bool identify() {
        return tx.SendWaitTokenLimited("\r\nDEVICE?\r\n", "TESSADORN", 1, 2048) == 1;
    }
    bool acknowledged(std::string_view command) {
        return tx.SendWaitTokenLimited(command, "<OK\r\n", 2, 2048) == 1;
    }
    // Every byte that arrives until `count` reads in a row brought nothing.
    std::string readAll(int emptyReadsToStop = 3) {
        std::string all;
        int empty = 0;
        std::uint8_t byte = 0;
        while (empty < emptyReadsToStop) {
            if (port.read(&byte, 1) == 1) {
                all.push_back(static_cast<char>(byte));
                empty = 0;
            } else {
                ++empty;
            }
        }
        return all;
    }
    void wait(int ms) { clock.advance(ms); }

    VirtualClock clock;
    sim::SimModem modem;
    SimModemPeer peer;
    FakeSerialPort port;
    SerialChannel serial;
    std::atomic<int> reading{0};
    Transactions tx;
};

// Settings for tests: registered at once, answers without pacing delays of its own.
inline sim::SimSettings quickSettings() {
    sim::SimSettings s;
    s.registerMs = 0;
    s.apnUpMs = 0;
    s.defaultTable = TESSADORN_DEMO_TABLE;
    return s;
}

} // namespace tessadorn::test
