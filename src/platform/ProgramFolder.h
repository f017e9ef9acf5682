#pragma once

#include <string>

namespace tessadorn {

// The program's two small files: the caster list and the device profile.
inline constexpr const char* kCasterListFileName = "ntripcfg.txt";
inline constexpr const char* kProfileFileName = "tessadorn.cfg";

// The running executable's full path (/proc/self/exe); empty when it cannot be read.
std::string executablePath();
// The folder of executablePath(); the current directory when that cannot be read.
std::string executableFolder();

// The user's configuration folder for the program: $XDG_CONFIG_HOME/tessadorn, by default
// ~/.config/tessadorn.
std::string userConfigFolder();
// The user's state folder for the program (its log): $XDG_STATE_HOME/tessadorn, by default
// ~/.local/state/tessadorn.
std::string userStateFolder();

// Where the program keeps its files, chosen once at start.
struct ProgramFolderChoice {
    enum class Reason { Given, BesideExecutable, UserConfig };
    std::string folder;
    Reason reason = Reason::UserConfig;
    // A few words on why this folder, for the debug output.
    std::string describe() const;
};

// `given` (--config-dir) when not empty; else `besideExecutable` when one of the two files
// already exists there (portable use); else `userConfig`.
ProgramFolderChoice chooseProgramFolder(const std::string& given,
                                        const std::string& besideExecutable,
                                        const std::string& userConfig);

// Creates `folder` and its missing parents; the folders it creates get mode 0700 (the files
// inside hold passwords). An existing folder is left as it is. False with a reason in `error`.
bool makePrivateFolder(const std::string& folder, std::string& error);

} // namespace tessadorn
