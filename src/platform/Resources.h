#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// Files compiled into the program (the dialog templates and the bitmaps), addressed by their
// resource path: ":/dialogs.rc", ":/bitmaps/157.svg".

// The bytes of a compiled-in file; empty when there is no such file.
std::string resourceBytes(std::string_view path);

// The file names in a compiled-in folder (":/bitmaps"), sorted; empty when there is none.
std::vector<std::string> resourceFiles(std::string_view folder);

} // namespace tessadorn
