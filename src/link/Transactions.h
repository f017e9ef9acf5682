#pragma once

#include "link/Command.h"
#include "link/SerialChannel.h"

#include <atomic>
#include <string>
#include <string_view>

namespace tessadorn {

// One command sent to the modem with the wait for its answer, resent when the answer does not
// come. While a transaction runs, `reading` (the owner's m_Reading) is 1; that is how a dialog
// knows the monitor is not in the middle of an exchange.
//
// Resend count N > 0: the command goes out at most N + 1 times. Resend count 0: the token kinds
// resend until the answer comes (or the channel is aborted); SendCapture makes exactly one
// attempt with the given read limit.
//
// A refused command (see Command) sends nothing, logs why and returns 0.
class Transactions {
  public:
    Transactions(SerialChannel& serial, std::atomic<int>& reading);

    int SendWaitToken(const Command& command, std::string_view token, int resends);
    int SendWaitTokenLimited(const Command& command, std::string_view token, int resends,
                             int readLimit);
    int SendWaitEither(const Command& command, std::string_view token1, std::string_view token2,
                       int resends, int readLimit);
    // One attempt and no resend: for a command after which the device may well stay silent (a
    // restart), where a resend would reach it again once it is back.
    int SendOnceWaitToken(std::string_view command, std::string_view token);
    // `capacity` is the size of the caller's reply buffer, terminator included.
    int SendCapture(const Command& command, std::string_view start, std::string_view end,
                    std::string& out, std::size_t capacity, int resends, int readLimit);

    // Plain-text overloads for the fixed commands.
    int SendWaitToken(std::string_view command, std::string_view token, int resends) {
        return SendWaitToken(Command::fixed(command), token, resends);
    }
    int SendWaitTokenLimited(std::string_view command, std::string_view token, int resends,
                             int readLimit) {
        return SendWaitTokenLimited(Command::fixed(command), token, resends, readLimit);
    }
    int SendWaitEither(std::string_view command, std::string_view token1, std::string_view token2,
                       int resends, int readLimit) {
        return SendWaitEither(Command::fixed(command), token1, token2, resends, readLimit);
    }
    int SendCapture(std::string_view command, std::string_view start, std::string_view end,
                    std::string& out, std::size_t capacity, int resends, int readLimit) {
        return SendCapture(Command::fixed(command), start, end, out, capacity, resends, readLimit);
    }

    SerialChannel& serial() { return m_Serial; }

  private:
    template <typename Reader>
    int run(const Command& command, int resends, bool unlimitedWhenZero, Reader&& reader);

    SerialChannel& m_Serial;
    std::atomic<int>& m_Reading;
};

} // namespace tessadorn
