#pragma once

#include <string>
#include <string_view>

namespace tessadorn {

// The running executable's full path (/proc/self/exe); empty when it cannot be read.
std::string executablePath();

// The folder that holds the program's executable; the program keeps its two small files
// ("ntripcfg.txt" and "tessadorn.cfg") there. On Linux it is the folder of /proc/self/exe;
// when that cannot be read, the current directory.
std::string programFolder();

// `fileName` inside programFolder().
std::string programFilePath(std::string_view fileName);

// Makes programFolder() return `folder` from now on, so that tests keep their files in a
// scratch folder; an empty text goes back to the executable's folder. Thread-safe.
void setProgramFolderForTesting(std::string folder);

} // namespace tessadorn
