#pragma once

#include "FakeSerialPort.h"
#include "modem/Protocol.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessadorn::test {

// A modem made of a function from command to reply, in virtual time.
struct Modem {
    std::atomic<int> baud{2};        // the rate it listens at
    std::atomic<bool> silent{false}; // stops answering
    std::string role = "CLIENT";
    std::string gga = "AUTO,TRIMBLE,COM2";
    std::string addr = "caster.example:2101,MP1,alice,secret";
    std::string apn = "1,5";
    std::string signal = "3";
    std::string stconnect = "OFF";
    std::string autoState = "ON";
    // Replies to the dialogs' own commands, by command; a command without one goes unanswered.
    std::map<std::string, std::string, std::less<>> replies;
    std::string ip = "10.20.30.40";
    std::vector<std::string> cfgReplies; // used first, one per query
    std::mutex m; // the test thread changes the replies while the monitor runs

    void set(std::string Modem::*field, std::string value) {
        std::lock_guard l(m);
        this->*field = std::move(value);
    }
    void reply(const std::string& command, std::string value) {
        std::lock_guard l(m);
        replies[command] = std::move(value);
    }

    // When set, the modem answers only what it lets through.
    std::function<bool(std::string_view cmd, int atBaud)> answers;

    std::string answer(std::string_view cmd, int atBaud) {
        std::lock_guard l(m);
        if (silent || atBaud != baud) return "";
        if (answers && !answers(cmd, atBaud)) return "";
        if (const auto it = replies.find(cmd); it != replies.end()) {
            // A modem that accepts the stop reports its connection off from then on.
            if (cmd == protocol::kStopConnection) stconnect = "OFF";
            return it->second;
        }
        if (cmd == protocol::kDevice) return "\r\nTESSADORN NTRIP MODEM\r\n";
        if (cmd == protocol::kGetCfg) {
            std::string fields = role + ",T-0042,2.3.1,350000111122223,web.example,wu,wp";
            if (!cfgReplies.empty()) {
                fields = cfgReplies.front();
                cfgReplies.erase(cfgReplies.begin());
            }
            return "#GETCFG," + fields + "\r\n<OK\r\n";
        }
        if (cmd == protocol::kGetGga) return "#GETGGA," + gga + "\r\n<OK\r\n";
        if (cmd == protocol::kGetBrd) return "#GETBRD,1,relay.example.com,2102\r\n<OK\r\n";
        if (cmd == protocol::kIp) return "IP," + ip + "\r\n<OK\r\n";
        if (cmd == protocol::kAutoQuery) return autoState + "\r\n";
        if (cmd == protocol::kStConnect) return stconnect + "\r\n";
        if (cmd == protocol::kAddrServer) return "ADDRSERVER," + addr + "\r\n<OK\r\n";
        if (cmd == protocol::kApnQuery) return "+APN:" + apn + "\r\n<OK\r\n";
        if (cmd == protocol::kSignalOnce) return "+SIGNAL:" + signal + "\r\n<OK\r\n";
        return "";
    }

    // Answers every command written to `peer`, 20 ms after it came.
    void attach(ScriptedModem& peer) {
        peer.setUnmatched([this, &peer](std::string_view cmd, int atBaud, std::int64_t now) {
            peer.push(answer(cmd, atBaud), now + 20);
        });
    }
};

} // namespace tessadorn::test
