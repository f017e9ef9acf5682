#include "platform/TextCodec.h"

#include <array>
#include <cstdint>

namespace tessadorn {
namespace {

// Unicode code points of the bytes 0x80..0x9F in Windows-1252.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t toUnicode(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) return kHigh[b - 0x80];
    return b;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char toDevice(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

// Decodes one UTF-8 character at `i`; returns false (and consumes one byte) when malformed.
bool decodeUtf8(std::string_view s, std::size_t& i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        c = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + extra >= s.size()) {
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += extra + 1;
    return true;
}

} // namespace

std::string deviceToUtf8(std::string_view device) {
    std::string out;
    out.reserve(device.size());
    for (unsigned char b : device)
        appendUtf8(out, toUnicode(b));
    return out;
}

std::string sourceTextToUtf8(std::string_view text, std::size_t cutAt) {
    bool ascii = true;
    for (const unsigned char b : text)
        ascii = ascii && b < 0x80;
    if (ascii) return std::string(text);
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t at = i;
        char32_t c = 0;
        if (decodeUtf8(text, i, c)) continue;
        // A lead byte whose sequence the end of the text cut short: the rest is good UTF-8.
        const auto b0 = static_cast<unsigned char>(text[at]);
        const std::size_t need = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : 4;
        bool cut = text.size() == cutAt && b0 >= 0xC2 && b0 <= 0xF4 && at + need > text.size();
        for (std::size_t k = at + 1; cut && k < text.size(); ++k)
            cut = (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80;
        if (cut && at > 0) return std::string(text.substr(0, at));
        return deviceToUtf8(text);
    }
    return std::string(text);
}

std::string utf8ToDeviceLimited(std::string_view utf8, std::size_t maxChars) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size() && out.size() < maxChars) {
        char32_t c = 0;
        out += decodeUtf8(utf8, i, c) ? toDevice(c) : '?';
    }
    return out;
}

std::string utf8ToDevice(std::string_view utf8) {
    return utf8ToDeviceLimited(utf8, std::string::npos);
}

} // namespace tessadorn
