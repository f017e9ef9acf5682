#include "app/ProgramStart.h"

#include "platform/AtomicFile.h"
#include "platform/DebugOutput.h"

#include <cstdio>
#include <filesystem>

namespace tessadorn {

void startDebugOutput(const char* program, DebugLogFile& log, bool toStderr) {
    const std::string folder = userStateFolder();
    std::string error;
    if (!makePrivateFolder(folder, error) ||
        !log.open((std::filesystem::path(folder) / "tessadorn.log").string(),
                  DebugLogFile::kDefaultLimitBytes, error))
        std::fprintf(stderr, "%s: no log file: %s\n", program, error.c_str());
    setDebugSink([&log, toStderr](std::string_view line) {
        log.write(line);
        if (!toStderr) return;
        std::fwrite(line.data(), 1, line.size(), stderr);
        if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
        std::fflush(stderr);
    });
}

bool prepareProgramFolder(const std::string& configDir, ProgramFolderChoice& folder,
                          std::string& error) {
    folder = chooseProgramFolder(configDir, executableFolder(), userConfigFolder());
    if (!makePrivateFolder(folder.folder, error)) return false;
    debugLine(folder.describe() + "\r\n");
    for (const std::string& name :
         {std::string(kCasterListFileName) + ".bak", std::string(kCasterListFileName),
          std::string(kProfileFileName)})
        AtomicFile::removeLeftoverCopies((std::filesystem::path(folder.folder) / name).string());
    return true;
}

} // namespace tessadorn
