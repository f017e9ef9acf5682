#include "link/TokenMatcher.h"

namespace tessadorn {

TokenMatcher::TokenMatcher(std::string_view token) : m_Token(token), m_Failure(token.size(), 0) {
    for (std::size_t i = 1, k = 0; i < m_Token.size(); ++i) {
        while (k > 0 && m_Token[i] != m_Token[k])
            k = m_Failure[k - 1];
        if (m_Token[i] == m_Token[k]) ++k;
        m_Failure[i] = k;
    }
}

bool TokenMatcher::feed(std::uint8_t byte) {
    if (m_Token.empty()) return false;
    const char c = static_cast<char>(byte);
    while (m_Position > 0 && m_Token[m_Position] != c)
        m_Position = m_Failure[m_Position - 1];
    if (m_Token[m_Position] == c) ++m_Position;
    if (m_Position == m_Token.size()) {
        m_Position = m_Failure[m_Position - 1];
        return true;
    }
    return false;
}

TokenSet::TokenSet(std::initializer_list<std::string_view> tokens) {
    for (auto t : tokens) {
        if (m_Count == kMaxTokens) break;
        m_Matchers[m_Count++] = TokenMatcher(t);
    }
}

int TokenSet::feed(std::uint8_t byte) {
    int found = 0;
    // Every matcher sees every byte, so their states stay true after a completion.
    for (std::size_t i = 0; i < m_Count; ++i)
        if (m_Matchers[i].feed(byte) && found == 0) found = static_cast<int>(i) + 1;
    return found;
}

void TokenSet::reset() {
    for (std::size_t i = 0; i < m_Count; ++i)
        m_Matchers[i].reset();
}

} // namespace tessadorn
