#pragma once

// The options of tessadornctl, one table: the parser (app/), --help, the manual page's OPTIONS
// and the shell's completion script all come from it. A command takes the options its row of the
// table of verbs names (Verb::options); the others are the program's own.

#include <string>
#include <string_view>
#include <vector>

namespace tessadorn::cli {

struct OptionRow {
    // Without the dashes ("config-dir").
    std::string_view name;
    // The value's name ("PATH"); empty for a flag.
    std::string_view value;
    // One line for --help.
    std::string_view help;
    // What the manual page says of it (roff); empty: the help line.
    std::string_view manual = {};
    // What the shell offers for its value: words, or kOfferFiles, kOfferFolders, kOfferCasters;
    // empty: nothing.
    std::string_view offers = {};
    // The command's option it gives instead of its own ("password-file" gives "password").
    std::string_view gives = {};
    // A one-letter name besides ("h").
    std::string_view letter = {};
    // Used by the manual page and the completion script only, never listed.
    bool hidden = false;
};
inline constexpr std::string_view kOfferFiles = "@files";
inline constexpr std::string_view kOfferFolders = "@folders";
inline constexpr std::string_view kOfferCasters = "@casters";

// Every option, in the order --help lists them.
const std::vector<OptionRow>& optionTable();
// The option called `name`, or nullptr.
const OptionRow* optionNamed(std::string_view name);
// The commands that take the option (their names), empty for the program's own options.
std::vector<std::string_view> verbsTaking(std::string_view name);

// The option's line for --help: its help and the commands that take it.
std::string optionHelp(const OptionRow& option);
// The options as the manual page lists them (roff, one .TP paragraph each).
std::string optionManual();
// The bash completion script: the options from the table, the commands and their words from the
// program itself (tessadornctl --complete).
std::string completionScript();

} // namespace tessadorn::cli
