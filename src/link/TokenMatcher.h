#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// Recognises one fixed token in a byte stream, byte-exact and case-sensitive.
//
// A byte that breaks a partial match is tried again as the continuation of the longest shorter
// prefix that still fits (a failure function as in Knuth-Morris-Pratt), so no occurrence is
// missed: "EENDSOURCETABLE", "<<OK\r\n" and "OOFF" all contain their token.
class TokenMatcher {
  public:
    TokenMatcher() = default;
    explicit TokenMatcher(std::string_view token);

    // Feeds one byte; true when it completes the token. After a completion matching goes on,
    // so overlapping occurrences are found too.
    bool feed(std::uint8_t byte);
    void reset() { m_Position = 0; }
    std::size_t position() const { return m_Position; }
    const std::string& token() const { return m_Token; }

  private:
    std::string m_Token;
    std::vector<std::size_t> m_Failure; // longest proper border of token[0..i]
    std::size_t m_Position = 0;
};

// Up to five tokens matched side by side. feed() returns the 1-based number of a token that the
// byte completed, the lowest-numbered one when several complete at once, or 0.
class TokenSet {
  public:
    static constexpr std::size_t kMaxTokens = 5;

    TokenSet() = default;
    TokenSet(std::initializer_list<std::string_view> tokens);

    int feed(std::uint8_t byte);
    void reset();
    std::size_t size() const { return m_Count; }

  private:
    std::array<TokenMatcher, kMaxTokens> m_Matchers;
    std::size_t m_Count = 0;
};

} // namespace tessadorn
