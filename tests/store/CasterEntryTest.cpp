#include "store/CasterDocument.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

namespace tessadorn {
namespace {

// What a hand-written file may hold, and what the program makes of it: `server` and `vntrip` as
// C's atoi reads them, the `Tessadorn` flag by its exact text.
struct ReadCase {
    const char* text;
    int number;        // decimalValue, the value of `server`
    NtripKind version; // as `vntrip`
    ServerKind flag;   // as `Tessadorn`
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class FileValueRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FileValueRead, IsReadOnceWhenSetAndKeepsItsText) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(decimalValue(c.text), c.number);
    CasterDocument doc;
    doc.server = c.text;
    doc.entries[0].vntrip = c.text;
    doc.entries[0].Tessadorn = c.text;
    EXPECT_EQ(doc.server.value(), c.number);
    EXPECT_EQ(doc.entries[0].vntrip.value(), c.version);
    EXPECT_EQ(doc.entries[0].Tessadorn.value(), c.flag);
    EXPECT_EQ(doc.server.text(), c.text);
    EXPECT_EQ(doc.entries[0].vntrip.text(), c.text);
    EXPECT_EQ(doc.entries[0].Tessadorn.text(), c.text);
}

using N = NtripKind;
using K = ServerKind;
INSTANTIATE_TEST_SUITE_P(
    Texts, FileValueRead,
    ::testing::Values(
        ReadCase{"", 0, N::Other, K::Other}, ReadCase{"0", 0, N::Other, K::Caster},
        ReadCase{"1", 1, N::Ntrip1, K::Tessadorn}, ReadCase{"2", 2, N::Ntrip2, K::Other},
        ReadCase{"3", 3, N::Ibss, K::Other}, ReadCase{"03", 3, N::Ibss, K::Other},
        ReadCase{" 3", 3, N::Ibss, K::Other}, ReadCase{"\t\r\n\v\f2", 2, N::Ntrip2, K::Other},
        ReadCase{"+1", 1, N::Ntrip1, K::Other}, ReadCase{"1 ", 1, N::Ntrip1, K::Other},
        ReadCase{" 1", 1, N::Ntrip1, K::Other}, ReadCase{"01", 1, N::Ntrip1, K::Other},
        ReadCase{"-3", -3, N::Other, K::Other}, ReadCase{"- 3", 0, N::Other, K::Other},
        ReadCase{"3x", 3, N::Ibss, K::Other}, ReadCase{"x3", 0, N::Other, K::Other},
        ReadCase{"4", 4, N::Other, K::Other}, ReadCase{"4294967299", INT_MAX, N::Other, K::Other},
        ReadCase{"-99999999999", INT_MIN, N::Other, K::Other}));

} // namespace
} // namespace tessadorn
