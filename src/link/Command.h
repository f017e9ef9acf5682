#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tessadorn {

// A command ready to send, or the reason it was refused. An argument holding CR, LF or NUL would
// end the command early and smuggle a second one to the modem, so such commands are refused.
struct Command {
    std::string text;
    std::string refused; // empty when the command may be sent
    bool ok() const { return refused.empty(); }

    // A command without arguments.
    static Command fixed(std::string_view text);
    // Builds a command from a format whose only conversions are "%s" (and "%%"); the arguments
    // go in without quoting or escaping, as the modem expects. A wrong number of arguments, or an
    // argument with CR, LF or NUL, refuses the command.
    static Command format(std::string_view fmt, std::initializer_list<std::string_view> args);
    // A command that must not be sent, and why.
    static Command refusal(std::string why) { return Command{{}, std::move(why)}; }
};

} // namespace tessadorn
