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

} // namespace tessadorn
