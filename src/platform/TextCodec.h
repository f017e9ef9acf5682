#pragma once

#include <string>
#include <string_view>

namespace tessadorn {

// The program holds its texts as single-byte strings in the device's code page
// (Windows-1252) and shows them as Unicode. Each conversion makes a new copy; an empty text
// converts to an empty text.

// Device code page to UTF-8. The five bytes that Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
std::string deviceToUtf8(std::string_view device);

// A text a caster wrote (a source table's names): UTF-8 as it stands when it is valid UTF-8,
// otherwise read as the device code page. A text of `cutAt` bytes was cut at its size limit: a
// UTF-8 sequence the cut left short at its end is dropped.
std::string sourceTextToUtf8(std::string_view text, std::size_t cutAt = 0);

// UTF-8 to the device code page. A character the code page cannot hold becomes '?';
// so does every byte of a malformed UTF-8 sequence.
std::string utf8ToDevice(std::string_view utf8);

// UTF-8 to the device code page, keeping at most `maxChars` characters (the 48-character read
// of an edit control).
std::string utf8ToDeviceLimited(std::string_view utf8, std::size_t maxChars);

} // namespace tessadorn
