#pragma once

#include <array>
#include <string_view>

namespace tessadorn {

// What the modem reports of its exchange with a caster, after a LIST or a CONNECT.
enum class CasterReply {
    NoAnswer = 0,
    Accepted = 1,
    ServerNotResponding = 2,
    NotAuthorized = 3,
    InvalidMountpoint = 4,
    ConnectionError = 5,
};

// The modem's error tokens and what they mean. A source table is watched for all but the
// invalid mountpoint, which only a connection can meet.
struct CasterErrorToken {
    std::string_view token;
    CasterReply meaning;
    bool duringSourceTable;
};
extern const std::array<CasterErrorToken, 4> kCasterErrorTokens;

// What the user is told of a connection's reply (Accepted: the modem keeps the connection and
// the program may end; NoAnswer: "Error").
std::string_view casterReplyMessage(CasterReply reply);

} // namespace tessadorn
