#include "platform/TextCodec.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

TEST(TextCodec, DeviceCodePageToUnicodeAndBack) {
    struct Case {
        std::string device;
        std::string utf8;
    };
    const Case cases[] = {
        {"", ""},
        {"Connecting ...", "Connecting ..."},
        {"Autorizaci\xF3n:", "Autorización:"},
        {"Posici\xF3n GPS :", "Posición GPS :"},
        {"Animaci\xF3", "Animació"},
        {"\x80 \x8A \x9F", "€ Š Ÿ"},
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        {"\xFF", "ÿ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(deviceToUtf8(c.device), c.utf8);
        EXPECT_EQ(utf8ToDevice(c.utf8), c.device);
    }
}

// A caster's text: UTF-8 when it is valid UTF-8, else the device code page.
TEST(TextCodec, SourceTextsReadAsUtf8WhenTheyAreUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tombeb\xC5\x93uf", "Tombebœuf"},
        {"\xE7\xA6\x8F\xE5\xB2\xA1", "福岡"},
        {"Besan\xE7on", "Besançon"}, // code page
        {"\xC3\xA9t\xE9", "Ã©té"},   // mixed: not UTF-8 as a whole
        {"caf\xE9", "café"},         // code page, not a cut
        {"\xE7\xA6", "ç¦"},          // nothing but a cut sequence
        {"\xC0\xAF", "À¯"},          // overlong: code page
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(sourceTextToUtf8(text), shown) << text;
    // A field cut at its size limit (5 bytes here) in the middle of a character.
    EXPECT_EQ(sourceTextToUtf8("\xE7\xA6\x8F\xE5\xB2", 5), "福");
    EXPECT_EQ(sourceTextToUtf8("\xE7\xA6\x8F\xE5\xB2", 6), "ç¦\xC2\x8Få²");
}

TEST(TextCodec, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
    const std::pair<std::string, std::string> cases[] = {
        {"日本", "??"},          {"a\xF0\x9F\x98\x80z", "a?z"}, // outside the code page
        {"\xC3", "?"},                                          // cut sequence
        {"\xC3(", "?("},                                        // bad continuation
        {"\xC0\x80", "??"},                                     // overlong NUL
        {"\xED\xA0\x80", "???"},                                // surrogate
    };
    for (const auto& [in, want] : cases)
        EXPECT_EQ(utf8ToDevice(in), want) << in;
}

// A view into a longer buffer ends where it says: nothing past its end is read, a sequence cut
// by its end is malformed, and a code-page byte at its very end is converted.
TEST(TextCodec, ConversionStopsAtTheEndOfAViewThatIsNotTerminated) {
    const std::string utf8 = "ab\xC3\xB1\xC3\xB1xyz";
    EXPECT_EQ(utf8ToDevice(std::string_view(utf8).substr(0, 4)), "ab\xF1");
    EXPECT_EQ(utf8ToDevice(std::string_view(utf8).substr(0, 5)), "ab\xF1?");
    EXPECT_EQ(utf8ToDevice(std::string_view(utf8).substr(2, 1)), "?");
    EXPECT_EQ(utf8ToDeviceLimited(std::string_view(utf8).substr(0, 5), 48), "ab\xF1?");
    const std::string device = "Posici\xF3n\x80GPS";
    EXPECT_EQ(deviceToUtf8(std::string_view(device).substr(0, 7)), "Posició");
    EXPECT_EQ(deviceToUtf8(std::string_view(device).substr(8, 1)), "€");
    EXPECT_EQ(deviceToUtf8(std::string_view(device).substr(0, 0)), "");
}

TEST(TextCodec, EditReadKeepsAtMostTheGivenNumberOfCharacters) {
    EXPECT_EQ(utf8ToDeviceLimited(std::string(60, 'a'), 48), std::string(48, 'a'));
    EXPECT_EQ(utf8ToDeviceLimited("ñññ", 2), "\xF1\xF1"); // characters, not bytes
}

} // namespace
} // namespace tessadorn
