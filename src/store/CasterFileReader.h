#pragma once

#include "store/CasterDocument.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tessadorn {

// Reads the tagged text of "ntripcfg.txt" forward, byte by byte, without looking back.
//
// Between elements only CR, LF and blanks may stand. An element is chosen by the first letter
// after "<" and the rest of its tag must follow exactly; a first letter that opens nothing at
// the current level is passed over. A value is every byte up to the next "<", which starts its
// closing tag. The reader stops at the first wrong byte; what it read before stays in the
// document.
//
// Values longer than 49 bytes (9 for `server`) are cut. Each sv element takes the next free
// slot whatever its number says, starts empty, and gets version "1" when it has no vntrip;
// elements past the 25th are read and dropped.
class CasterFileReader {
  public:
    explicit CasterFileReader(std::string_view bytes) : m_Bytes(bytes) {}

    // Reads the document into `doc`, which is not reset first. Returns true when the whole
    // document up to "</config>" was read; bytes after it are never looked at.
    bool read(CasterDocument& doc);

    // True when the document held more than the store keeps: casters past the 25th, or a value
    // cut short. Such a file must not be overwritten without a copy.
    bool droppedAny() const { return m_Dropped; }

  private:
    bool next(char& c);
    bool skipToElement();
    bool expect(std::string_view rest);
    bool readValue(std::string& into, std::size_t limit, std::string_view closing);
    // The same into a typed value: its text is set (and read) once, also when the value was
    // cut off, as a plain text field would keep what was read.
    template <typename Value, Value (*Read)(std::string_view)>
    bool readValue(FileValue<Value, Read>& into, std::size_t limit, std::string_view closing) {
        std::string text;
        const bool ok = readValue(text, limit, closing);
        into = std::move(text);
        return ok;
    }
    bool readYesNo(std::string_view prefix, std::string& into);
    bool readSvNumber();

    bool readConfig(CasterDocument& doc);
    bool readCurrent(CasterDocument& doc);
    bool readAuth(CasterDocument& doc);
    bool readCarrier(CasterDocument& doc);
    bool readServers(CasterDocument& doc);
    bool readSv(CasterDocument& doc);

    std::string_view m_Bytes;
    std::size_t m_Pos = 0;
    bool m_Dropped = false;
};

} // namespace tessadorn
