#include "platform/TelnetCodec.h"

namespace tessadorn {

bool TelnetCodec::wanted(std::uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead;
}

std::vector<std::uint8_t> TelnetCodec::greeting() {
    std::vector<std::uint8_t> out;
    const auto ask = [&](std::uint8_t verb, std::uint8_t option) {
        out.insert(out.end(), {kIac, verb, option});
        if (verb == kWill) {
            m_WeWill[option] = true;
            m_AskedWill[option] = true;
        } else {
            m_TheyWill[option] = true;
            m_AskedDo[option] = true;
        }
    };
    ask(kWill, kOptComPort);
    ask(kWill, kOptBinary);
    ask(kDo, kOptBinary);
    ask(kWill, kOptSuppressGoAhead);
    ask(kDo, kOptSuppressGoAhead);
    return out;
}

void TelnetCodec::negotiate(std::uint8_t verb, std::uint8_t option) {
    const auto reply = [this](std::uint8_t v, std::uint8_t o) {
        m_Replies.insert(m_Replies.end(), {kIac, v, o});
    };
    switch (verb) {
    case kDo:
        if (m_WeWill[option]) {
            m_AskedWill[option] = false; // the answer to our WILL, or a repeat: nothing to say
        } else if (wanted(option) || option == kOptComPort) {
            m_WeWill[option] = true;
            reply(kWill, option);
        } else {
            reply(kWont, option);
        }
        break;
    case kDont:
        if (option == kOptComPort) m_ComPortRefused = true;
        if (m_WeWill[option]) {
            m_WeWill[option] = false;
            if (!m_AskedWill[option]) reply(kWont, option);
        }
        m_AskedWill[option] = false;
        break;
    case kWill:
        if (m_TheyWill[option]) {
            m_AskedDo[option] = false;
        } else if (wanted(option)) {
            m_TheyWill[option] = true;
            reply(kDo, option);
        } else {
            reply(kDont, option);
        }
        break;
    case kWont:
        if (m_TheyWill[option]) {
            m_TheyWill[option] = false;
            if (!m_AskedDo[option]) reply(kDont, option);
        }
        m_AskedDo[option] = false;
        break;
    default:
        break;
    }
}

void TelnetCodec::subnegotiationEnded() {
    if (m_Sub.size() < 2 || m_Sub[0] != kOptComPort || m_Sub[1] < kServerOffset) return;
    ComPortReply reply;
    reply.command = static_cast<std::uint8_t>(m_Sub[1] - kServerOffset);
    reply.value.assign(m_Sub.begin() + 2, m_Sub.end());
    switch (reply.command) {
    case kNotifyLineState:
        if (!reply.value.empty()) m_LineState = reply.value[0];
        break;
    case kNotifyModemState:
        if (!reply.value.empty()) m_ModemState = reply.value[0];
        break;
    case kFlowControlSuspend:
        m_Suspended = true;
        break;
    case kFlowControlResume:
        m_Suspended = false;
        break;
    default:
        break;
    }
    m_ComPort.push_back(std::move(reply));
}

void TelnetCodec::feed(const std::uint8_t* bytes, std::size_t length,
                       std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        switch (m_State) {
        case State::DataCr:
            m_State = State::Data;
            if (b == 0) break; // a server without binary sends a lone CR as CR NUL
            [[fallthrough]];
        case State::Data:
            if (b == kIac) {
                m_State = State::Iac;
            } else {
                data.push_back(b);
                if (b == '\r' && !m_TheyWill[kOptBinary]) m_State = State::DataCr;
            }
            break;
        case State::Iac:
            m_State = State::Data;
            if (b == kIac) {
                data.push_back(kIac);
            } else if (b == kDo || b == kDont || b == kWill || b == kWont) {
                m_Verb = b;
                m_State = State::Option;
            } else if (b == kSb) {
                m_Sub.clear();
                m_State = State::Sub;
            } // NOP, GA, a stray SE and the rest carry nothing here
            break;
        case State::Option:
            negotiate(m_Verb, b);
            m_State = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                m_State = State::SubIac;
            else
                m_Sub.push_back(b);
            break;
        case State::SubIac:
            if (b == kIac) {
                m_Sub.push_back(kIac);
                m_State = State::Sub;
            } else if (b == kSe) {
                subnegotiationEnded();
                m_State = State::Data;
            } else {
                // A subnegotiation cut short by another command: it ends here, the command
                // is read as such.
                subnegotiationEnded();
                m_State = State::Iac;
                --i;
            }
            break;
        }
    }
}

std::vector<std::uint8_t> TelnetCodec::takeReplies() {
    std::vector<std::uint8_t> out;
    out.swap(m_Replies);
    return out;
}

std::vector<TelnetCodec::ComPortReply> TelnetCodec::takeComPortReplies() {
    std::vector<ComPortReply> out;
    out.swap(m_ComPort);
    return out;
}

std::vector<std::uint8_t> TelnetCodec::escape(const std::uint8_t* data, std::size_t length) {
    std::vector<std::uint8_t> out;
    out.reserve(length + 8);
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac) out.push_back(kIac);
    }
    return out;
}

std::vector<std::uint8_t> TelnetCodec::comPortCommand(std::uint8_t command,
                                                      const std::vector<std::uint8_t>& value) {
    std::vector<std::uint8_t> out{kIac, kSb, kOptComPort, command};
    const auto escaped = escape(value.data(), value.size());
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.insert(out.end(), {kIac, kSe});
    return out;
}

std::vector<std::uint8_t> TelnetCodec::rateValue(std::uint32_t rate) {
    return {static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
            static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)};
}

std::uint32_t TelnetCodec::rateFromValue(const std::vector<std::uint8_t>& value) {
    if (value.size() != 4) return 0;
    return (std::uint32_t{value[0]} << 24) | (std::uint32_t{value[1]} << 16) |
           (std::uint32_t{value[2]} << 8) | std::uint32_t{value[3]};
}

} // namespace tessadorn
