#include "store/TextInput.h"
#include "modem/Protocol.h"
#include "store/FieldCheck.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace tessadorn {
namespace {

TEST(TextInput, DecimalNumbersAreReadWholeAndFinite) {
    struct Case {
        const char* text;
        std::optional<double> want;
    };
    const Case cases[] = {
        {"41.5", 41.5}, {" -2.25\t", -2.25}, {"+7", 7.0},  {".5", 0.5},
        {"1e2", 100.0}, {"-0", -0.0},        {"", {}},     {"  ", {}},
        {"-", {}},      {"+-1", {}},         {"41,5", {}}, {"1.2.3", {}},
        {"12abc", {}},  {"inf", {}},         {"nan", {}},  {"1e400", {}},
        {"0x1p3", {}},  {"1 2", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text_input::parseDecimal(c.text), c.want) << '"' << c.text << '"';
}

// The APN edits refuse what the list file and the modem's replies cannot carry back.
TEST(TextInput, RefusalNamesWhatCannotBeKept) {
    const auto why = [](std::string_view value, std::string_view forbidden) {
        return refusedValueMessage("APN", value, forbidden);
    };
    EXPECT_EQ(why("web.example", "<"), "");
    EXPECT_EQ(why("", "<"), "");
    EXPECT_EQ(why("a<b", "<,"), "The field \"APN\" may not contain \"<\".");
    EXPECT_EQ(why("a,b", "<,"), "The field \"APN\" may not contain \",\".");
    const std::pair<char, const char*> controls[] = {{'\r', "a line break (CR)"},
                                                     {'\n', "a line break (LF)"},
                                                     {'\t', "a tab (TAB)"},
                                                     {'\0', "a NUL character"},
                                                     {'\x7f', "a control character (0x7F)"}};
    for (const auto& [c, what] : controls)
        EXPECT_EQ(why(std::string("a") + c, ""),
                  std::string("The field \"APN\" may not contain ") + what + ".")
            << int(c);
}

TEST(ManualPositionCommand, RefusesWhatTheModemWouldMisread) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const auto& [lat, lon] : {std::pair{90.000001, 0.0}, std::pair{0.0, -180.000001},
                                   std::pair{1e300, 0.0}, std::pair{nan, 0.0}, std::pair{0.0, inf}})
        EXPECT_FALSE(protocol::setGgaManual(lat, lon).ok()) << lat << " " << lon;
    EXPECT_EQ(protocol::setGgaManual(-90, 180).text, "#SETGGA,MANUAL,-90.000000,180.000000\r\n");
}

} // namespace
} // namespace tessadorn
