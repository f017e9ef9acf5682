#pragma once

#include "store/CasterDocument.h"

#include <string>

namespace tessadorn {

// Writes a CasterDocument as the text of "ntripcfg.txt": every line ends in CR LF, values are
// written exactly as held. The current section is written only while `hasCurrent` is set
// (otherwise "<current></current>" on one line); the APN block only while `carrier` is "yes".
class CasterFileWriter {
  public:
    static std::string write(const CasterDocument& doc);
};

} // namespace tessadorn
