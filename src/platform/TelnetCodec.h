#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessadorn {

// Telnet as a remote serial port speaks it (ser2net's "telnet(rfc2217)" accepter): the byte
// stream with its IAC escapes, the option negotiation, and the COM-PORT-OPTION subnegotiation
// that carries the line rate and settings. No I/O: bytes from the socket go in through feed(),
// and what the other side must be told comes out of takeReplies().
//
// The parser keeps its state between calls, so an escape, a negotiation or a subnegotiation
// split across reads at any byte gives the same result as one read of the whole.
class TelnetCodec {
  public:
    static constexpr std::uint8_t kIac = 255;
    static constexpr std::uint8_t kDont = 254;
    static constexpr std::uint8_t kDo = 253;
    static constexpr std::uint8_t kWont = 252;
    static constexpr std::uint8_t kWill = 251;
    static constexpr std::uint8_t kSb = 250;
    static constexpr std::uint8_t kSe = 240;
    static constexpr std::uint8_t kOptBinary = 0;
    static constexpr std::uint8_t kOptSuppressGoAhead = 3;
    static constexpr std::uint8_t kOptComPort = 44;

    // COM-PORT-OPTION commands, client to server; the server answers with the code + 100.
    static constexpr std::uint8_t kSetBaudRate = 1;
    static constexpr std::uint8_t kSetDataSize = 2;
    static constexpr std::uint8_t kSetParity = 3;
    static constexpr std::uint8_t kSetStopSize = 4;
    static constexpr std::uint8_t kSetControl = 5;
    static constexpr std::uint8_t kNotifyLineState = 6;
    static constexpr std::uint8_t kNotifyModemState = 7;
    static constexpr std::uint8_t kFlowControlSuspend = 8;
    static constexpr std::uint8_t kFlowControlResume = 9;
    static constexpr std::uint8_t kPurgeData = 12;
    static constexpr std::uint8_t kServerOffset = 100;

    // One answer or notification of the server's COM-PORT-OPTION, its code less 100.
    struct ComPortReply {
        std::uint8_t command = 0;
        std::vector<std::uint8_t> value;
        bool operator==(const ComPortReply&) const = default;
    };

    // Takes bytes from the connection. Data bytes are appended to `data` (IAC IAC as one 255,
    // and a CR NUL as CR while the server does not send binary); everything else is handled
    // here and shows in the state below.
    void feed(const std::uint8_t* bytes, std::size_t length, std::vector<std::uint8_t>& data);

    // The opening: what this side wants (binary both ways, no go-ahead, COM-PORT-OPTION).
    std::vector<std::uint8_t> greeting();
    // Negotiation answers owed to the server since the last call.
    std::vector<std::uint8_t> takeReplies();
    // COM-PORT-OPTION answers and notifications, in the order they came, since the last call.
    std::vector<ComPortReply> takeComPortReplies();

    // Data for the connection: every 255 doubled.
    static std::vector<std::uint8_t> escape(const std::uint8_t* data, std::size_t length);
    // One COM-PORT-OPTION command with its value (255s in the value doubled).
    static std::vector<std::uint8_t> comPortCommand(std::uint8_t command,
                                                    const std::vector<std::uint8_t>& value);
    // A rate as SET-BAUDRATE carries it: four bytes, most significant first.
    static std::vector<std::uint8_t> rateValue(std::uint32_t rate);
    static std::uint32_t rateFromValue(const std::vector<std::uint8_t>& value);

    // The server agreed to COM-PORT-OPTION (DO COM-PORT-OPTION), or refused it (DONT).
    bool comPortAgreed() const { return m_WeWill[kOptComPort] && !m_AskedWill[kOptComPort]; }
    bool comPortRefused() const { return m_ComPortRefused; }
    // The server's flow control: true between FLOWCONTROL-SUSPEND and FLOWCONTROL-RESUME.
    bool sendingSuspended() const { return m_Suspended; }
    // The last NOTIFY-LINESTATE and NOTIFY-MODEMSTATE values, -1 before the first.
    int lineState() const { return m_LineState; }
    int modemState() const { return m_ModemState; }

  private:
    enum class State { Data, Iac, Option, Sub, SubIac, DataCr };
    void negotiate(std::uint8_t verb, std::uint8_t option);
    void subnegotiationEnded();
    static bool wanted(std::uint8_t option);

    State m_State = State::Data;
    std::uint8_t m_Verb = 0;
    std::vector<std::uint8_t> m_Sub;
    std::vector<std::uint8_t> m_Replies;
    std::vector<ComPortReply> m_ComPort;
    std::array<bool, 256> m_WeWill{};
    std::array<bool, 256> m_TheyWill{};
    std::array<bool, 256> m_AskedWill{};
    std::array<bool, 256> m_AskedDo{};
    bool m_ComPortRefused = false;
    bool m_Suspended = false;
    int m_LineState = -1;
    int m_ModemState = -1;
};

} // namespace tessadorn
