// The program's one JSON writer: members in the order they were set, so that a document reads
// as the manual lists it ("tessadorn_profile" first, "class" and "time" first on a watch line).
#include "cli/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tessadorn::cli {

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when the bytes there are no such sequence.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
    return length;
}

// A text as a JSON string; a byte that is no UTF-8 becomes U+FFFD, so the document stays valid.
void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (const std::size_t length = utf8SequenceAt(text, at); length != 1) {
            out += length == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(at, length);
            if (length > 1) at += length - 1;
            continue;
        }
        const char c = text[at];
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendJsonNumber(std::string& out, double number) {
    // JSON has no NaN or infinity.
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    char text[32];
    // Whole numbers (ports, rates, codes) without a fraction; others as short as they read back.
    const auto [end, error] =
        std::trunc(number) == number && std::fabs(number) < 9007199254740992.0
            ? std::to_chars(text, text + sizeof text, static_cast<long long>(number))
            : std::to_chars(text, text + sizeof text, number);
    out.append(text, error == std::errc() ? end : text);
}

void appendJsonValue(std::string& out, const Value& v, int depth, bool indented) {
    const auto newLine = [&](int level) {
        if (!indented) return;
        out += '\n';
        out.append(static_cast<std::size_t>(level) * 4, ' ');
    };
    switch (v.kind) {
    case Value::Kind::Null:
        out += "null";
        return;
    case Value::Kind::Bool:
        out += v.flag ? "true" : "false";
        return;
    case Value::Kind::Number:
        appendJsonNumber(out, v.number);
        return;
    case Value::Kind::String:
        appendJsonString(out, v.text);
        return;
    case Value::Kind::Array:
        out += '[';
        for (std::size_t i = 0; i < v.items.size(); ++i) {
            if (i > 0) out += ',';
            newLine(depth + 1);
            appendJsonValue(out, v.items[i], depth + 1, indented);
        }
        if (!v.items.empty()) newLine(depth);
        out += ']';
        return;
    case Value::Kind::Object:
        out += '{';
        for (std::size_t i = 0; i < v.members.size(); ++i) {
            if (i > 0) out += ',';
            newLine(depth + 1);
            appendJsonString(out, v.members[i].first);
            out += indented ? ": " : ":";
            appendJsonValue(out, v.members[i].second, depth + 1, indented);
        }
        if (!v.members.empty()) newLine(depth);
        out += '}';
        return;
    }
}

} // namespace

std::string jsonText(const Value& value, bool indented) {
    std::string out;
    appendJsonValue(out, value, 0, indented);
    if (indented) out += '\n';
    return out;
}

} // namespace tessadorn::cli
