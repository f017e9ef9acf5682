#include "link/Transactions.h"

#include "platform/DebugOutput.h"

namespace tessadorn {

Transactions::Transactions(SerialChannel& serial, std::atomic<int>& reading)
    : m_Serial(serial), m_Reading(reading) {}

template <typename Reader>
int Transactions::run(const Command& command, int resends, bool unlimitedWhenZero,
                      Reader&& reader) {
    if (!command.ok()) {
        debugLine("Command refused: " + command.refused + "\r\n");
        return 0;
    }
    // Once the program closes nothing more goes out: a dialog's next step ends here.
    if (m_Serial.Aborted()) {
        debugLine("Closing: the command is not sent\r\n");
        return 0;
    }
    m_Reading.store(1);
    debugLine("m_Reading=TRUE\r\n");
    m_Serial.PurgeReceive();
    int result = 0;
    const bool unlimited = unlimitedWhenZero && resends == 0;
    for (int sent = 0; unlimited || sent <= resends; ++sent) {
        m_Serial.WriteCommand(command.text);
        result = reader();
        if (result != 0 || m_Serial.Interrupted()) break;
    }
    m_Reading.store(0);
    debugLine("m_Reading=FALSE\r\n");
    return result;
}

int Transactions::SendWaitToken(const Command& command, std::string_view token, int resends) {
    return run(command, resends, true, [&] { return m_Serial.WaitToken(token); });
}

int Transactions::SendWaitTokenLimited(const Command& command, std::string_view token, int resends,
                                       int readLimit) {
    return run(command, resends, true, [&] { return m_Serial.WaitTokenLimited(token, readLimit); });
}

int Transactions::SendOnceWaitToken(std::string_view command, std::string_view token) {
    return run(Command::fixed(command), 0, false, [&] { return m_Serial.WaitToken(token); });
}

int Transactions::SendWaitEither(const Command& command, std::string_view token1,
                                 std::string_view token2, int resends, int readLimit) {
    return run(command, resends, true,
               [&] { return m_Serial.WaitEither(token1, token2, readLimit); });
}

int Transactions::SendCapture(const Command& command, std::string_view start, std::string_view end,
                              std::string& out, std::size_t capacity, int resends, int readLimit) {
    if (resends == 0) {
        return run(command, 0, false,
                   [&] { return m_Serial.CaptureLimited(start, end, out, capacity, readLimit); });
    }
    return run(command, resends, false,
               [&] { return m_Serial.Capture(start, end, out, capacity); });
}

} // namespace tessadorn
