#include "link/Command.h"

namespace tessadorn {

namespace {

// Which control character an argument holds, or nullptr.
const char* forbidden(std::string_view arg) {
    for (char c : arg) {
        if (c == '\r') return "CR";
        if (c == '\n') return "LF";
        if (c == '\0') return "NUL";
    }
    return nullptr;
}

std::string printable(std::string_view fmt) {
    std::string s;
    for (char c : fmt) {
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else
            s += c;
    }
    return s;
}

} // namespace

Command Command::fixed(std::string_view text) {
    return Command{std::string(text), {}};
}

Command Command::format(std::string_view fmt, std::initializer_list<std::string_view> args) {
    Command cmd;
    auto arg = args.begin();
    int n = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 == fmt.size()) {
            cmd.text += fmt[i];
            continue;
        }
        const char conv = fmt[++i];
        if (conv == '%') {
            cmd.text += '%';
            continue;
        }
        ++n;
        if (conv != 's' || arg == args.end()) {
            cmd.text.clear();
            cmd.refused = "command \"" + printable(fmt) + "\" has no argument " + std::to_string(n);
            return cmd;
        }
        if (const char* what = forbidden(*arg)) {
            cmd.text.clear();
            cmd.refused =
                "argument " + std::to_string(n) + " of \"" + printable(fmt) + "\" holds " + what;
            return cmd;
        }
        cmd.text += *arg++;
    }
    if (arg != args.end()) {
        cmd.text.clear();
        cmd.refused = "command \"" + printable(fmt) + "\" has too many arguments";
    }
    return cmd;
}

} // namespace tessadorn
