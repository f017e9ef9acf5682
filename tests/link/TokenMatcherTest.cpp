#include "link/TokenMatcher.h"

#include <gtest/gtest.h>

#include <ostream>
#include <tuple>
#include <vector>

using tessadorn::TokenMatcher;
using tessadorn::TokenSet;

namespace {

// Feeds the text; returns the 1-based byte position where the token completed first, or 0.
std::size_t completesAt(std::string_view token, std::string_view text) {
    TokenMatcher m(token);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (m.feed(static_cast<std::uint8_t>(text[i]))) return i + 1;
    return 0;
}

struct MatchCase {
    const char* token;
    std::string text;
    std::size_t at; // 0: never
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << "token " << c.token;
}

class TokenMatcherCases : public ::testing::TestWithParam<MatchCase> {};

TEST_P(TokenMatcherCases, FindsTokenExactlyWhereItEnds) {
    const auto& c = GetParam();
    EXPECT_EQ(completesAt(c.token, c.text), c.at) << "token " << c.token << " in " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, TokenMatcherCases,
    ::testing::Values(MatchCase{"TESSADORN", "xxTESSADORN v1", 11},
                      MatchCase{"ENDSOURCETABLE", "EENDSOURCETABLE", 15},
                      MatchCase{"<OK\r\n", "<<OK\r\n", 6}, MatchCase{"OFF", "OOFF", 4},
                      MatchCase{"ON", "OON", 3}, MatchCase{"ERROR 4_1", "ERROR ERROR 4_1", 15},
                      MatchCase{"ABAB C", "ABABAB C", 8},
                      // Tokens that overlap themselves: a partial
                      // match gives way to the one after it.
                      MatchCase{"aaa", "aabaa", 0}, MatchCase{"aab", "aaab", 4},
                      MatchCase{"ABAC", "ABABAC", 6}, MatchCase{"TESSADORN", "tessadorn", 0},
                      MatchCase{"TESSADORN", "TESSADOR", 0},
                      MatchCase{"TESSADORN", "TESSA DORN", 0},
                      MatchCase{"<OK\r\n", std::string("<OK\r\0\n", 6), 0}));

// Matching goes on after a completion: overlapping occurrences complete each time.
TEST(TokenMatcher, OverlappingOccurrencesCompleteEachTime) {
    const std::tuple<const char*, const char*, std::vector<std::size_t>> cases[] = {
        {"ABA", "ABABA", {3, 5}},
        {"AA", "AAAA", {2, 3, 4}},
        {"<OK\r\n", "<OK\r\n<OK\r\n", {5, 10}},
        {"ON", "ONON", {2, 4}},
    };
    for (const auto& [token, text, want] : cases) {
        TokenMatcher m(token);
        std::vector<std::size_t> at;
        for (std::size_t i = 0; text[i]; ++i)
            if (m.feed(static_cast<std::uint8_t>(text[i]))) at.push_back(i + 1);
        EXPECT_EQ(at, want) << token << " in " << text;
    }
}

// One byte that completes two tokens of a set gives the lower number, whichever is longer, and
// both go on matching afterwards.
TEST(TokenSet, OneByteCompletingTwoTokensGivesTheLowerNumber) {
    const std::tuple<TokenSet, const char*, std::vector<int>> cases[] = {
        {TokenSet{"<OK", "OK"}, "<OK", {0, 0, 1}},
        {TokenSet{"OK", "<OK"}, "<OK", {0, 0, 1}},
        {TokenSet{"X", "OK", "<OK"}, "<OKOK", {0, 0, 2, 0, 2}},
        {TokenSet{"ERROR 5", "5"}, "ERROR 5", {0, 0, 0, 0, 0, 0, 1}},
        {TokenSet{"5", "ERROR 5"}, "ERROR 55", {0, 0, 0, 0, 0, 0, 1, 1}},
        // The byte that completes token 1 is seen by token 2 too, which it brings closer.
        {TokenSet{"OK", "XOK<"}, "XOK<", {0, 0, 1, 2}},
        {TokenSet{"A", "B", "AB"}, "AB", {1, 2}},
    };
    for (auto [set, text, want] : cases) {
        std::vector<int> got;
        for (std::size_t i = 0; text[i]; ++i)
            got.push_back(set.feed(static_cast<std::uint8_t>(text[i])));
        EXPECT_EQ(got, want) << text;
    }
}

TEST(TokenSet, OnAndOffAreTold) {
    for (auto [text, want] :
         {std::pair{"OFF", 2}, std::pair{"ON", 1}, std::pair{"xONx", 1}, std::pair{"OOFF", 2}}) {
        TokenSet set{"ON", "OFF"};
        int found = 0;
        for (const char* p = text; *p && !found; ++p)
            found = set.feed(static_cast<std::uint8_t>(*p));
        EXPECT_EQ(found, want) << text;
    }
}

} // namespace
