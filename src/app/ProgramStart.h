#pragma once

#include "platform/DebugLogFile.h"
#include "platform/ProgramFolder.h"

#include <string>

namespace tessadorn {

// What both programs do at start: the debug output to the log file in the user's state folder
// (and to stderr with --debug), and the folder of the two files (created, its leftover copies
// of interrupted saves removed). `program` names the program in the messages on stderr.
void startDebugOutput(const char* program, DebugLogFile& log, bool toStderr);
// The folder chosen as the window chooses it; false with the reason in `error` when it cannot
// be made.
bool prepareProgramFolder(const std::string& configDir, ProgramFolderChoice& folder,
                          std::string& error);

} // namespace tessadorn
