#include "modem/CasterReply.h"

#include "modem/Protocol.h"

namespace tessadorn {

namespace p = protocol;

const std::array<CasterErrorToken, 4> kCasterErrorTokens = {{
    {p::kTokError41, CasterReply::ServerNotResponding, true},
    {p::kTokError42, CasterReply::NotAuthorized, true},
    {p::kTokError43, CasterReply::InvalidMountpoint, false},
    {p::kTokError5, CasterReply::ConnectionError, true},
}};

std::string_view casterReplyMessage(CasterReply reply) {
    switch (reply) {
    case CasterReply::Accepted:
        return "Tessadorn configured. When you press OK, application will exit.";
    case CasterReply::ServerNotResponding:
        return "Server is not responding.\r\nPlease check your Server settings";
    case CasterReply::NotAuthorized:
        return "Connection not authorized.\r\nPlease check your User and Password";
    case CasterReply::InvalidMountpoint:
        return "Invalid Mountpoint.";
    case CasterReply::ConnectionError:
        return "Connection Error.\r\nPlease try again.";
    case CasterReply::NoAnswer:
        break;
    }
    return "Error";
}

} // namespace tessadorn
