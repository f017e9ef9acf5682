#include "cli/WatchWire.h"

#include <cstdint>
#include <cstring>

namespace tessadorn::cli {

namespace {

constexpr std::string_view kRequestTag = "tessadorn-command 1";
constexpr std::string_view kResultTag = "tessadorn-result 1";

// Every field is its length (4 bytes, most significant first) and its bytes.
void putField(std::string& out, std::string_view field) {
    const auto n = static_cast<std::uint32_t>(field.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((n >> shift) & 0xFF);
    out += field;
}

void putCount(std::string& out, std::size_t n) {
    putField(out, std::to_string(n));
}

struct WireReader {
    std::string_view bytes;
    std::size_t at = 0;
    bool ok = true;

    std::string field() {
        if (!ok || bytes.size() - at < 4) {
            ok = false;
            return {};
        }
        std::size_t n = 0;
        for (int i = 0; i < 4; ++i)
            n = (n << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        at += 4;
        if (bytes.size() - at < n) {
            ok = false;
            return {};
        }
        std::string out(bytes.substr(at, n));
        at += n;
        return out;
    }
    // A count or small number; anything else spoils the message.
    std::size_t count(std::size_t limit = 1u << 20) {
        const std::string text = field();
        std::size_t n = 0;
        if (text.empty() || text.size() > 9) ok = false;
        for (const char c : text) {
            if (c < '0' || c > '9') ok = false;
            n = n * 10 + static_cast<std::size_t>(c - '0');
        }
        if (n > limit) ok = false;
        return ok ? n : 0;
    }
};

void putValue(std::string& out, const Value& v) {
    using Kind = Value::Kind;
    switch (v.kind) {
    case Kind::Null:
        putField(out, "n");
        return;
    case Kind::Bool:
        putField(out, v.flag ? "t" : "f");
        return;
    case Kind::Number: {
        putField(out, "d");
        char text[8];
        std::memcpy(text, &v.number, sizeof v.number);
        putField(out, std::string_view(text, sizeof v.number));
        return;
    }
    case Kind::String:
        putField(out, "s");
        putField(out, v.text);
        return;
    case Kind::Array:
        putField(out, "a");
        putCount(out, v.items.size());
        for (const Value& item : v.items)
            putValue(out, item);
        return;
    case Kind::Object:
        putField(out, "o");
        putCount(out, v.members.size());
        for (const auto& [name, value] : v.members) {
            putField(out, name);
            putValue(out, value);
        }
        return;
    }
}

Value takeValue(WireReader& in, int depth = 0) {
    if (depth > 64) in.ok = false;
    const std::string kind = in.field();
    if (!in.ok) return {};
    if (kind == "n") return Value::null();
    if (kind == "t" || kind == "f") return Value::boolean(kind == "t");
    if (kind == "s") return Value::str(in.field());
    if (kind == "d") {
        const std::string bits = in.field();
        double number = 0;
        if (bits.size() != sizeof number) {
            in.ok = false;
            return {};
        }
        std::memcpy(&number, bits.data(), sizeof number);
        return Value::num(number);
    }
    if (kind == "a") {
        Value array = Value::array();
        for (std::size_t i = 0, n = in.count(); in.ok && i < n; ++i)
            array.push(takeValue(in, depth + 1));
        return array;
    }
    if (kind == "o") {
        Value object = Value::object();
        for (std::size_t i = 0, n = in.count(); in.ok && i < n; ++i) {
            std::string name = in.field();
            object.set(std::move(name), takeValue(in, depth + 1));
        }
        return object;
    }
    in.ok = false;
    return {};
}

} // namespace

std::string WatchWire::encodeRequest(const Request& q, const std::vector<File>& files) {
    std::string out;
    putField(out, kRequestTag);
    putCount(out, static_cast<std::size_t>(q.timeoutSeconds));
    putCount(out, q.words.size());
    for (const std::string& word : q.words)
        putField(out, word);
    putCount(out, q.options.size());
    for (const auto& [name, value] : q.options) {
        putField(out, name);
        putField(out, value);
    }
    putCount(out, files.size());
    for (const File& f : files) {
        putCount(out, f.word);
        putField(out, f.bytes);
        putCount(out, f.mode);
    }
    return out;
}

bool WatchWire::decodeRequest(std::string_view bytes, Request& q, std::vector<File>& files) {
    WireReader in{bytes};
    if (in.field() != kRequestTag) return false;
    q = Request{};
    files.clear();
    q.timeoutSeconds = static_cast<int>(in.count(86400));
    for (std::size_t i = 0, n = in.count(); in.ok && i < n; ++i)
        q.words.push_back(in.field());
    for (std::size_t i = 0, n = in.count(); in.ok && i < n; ++i) {
        std::string name = in.field();
        q.options[std::move(name)] = in.field();
    }
    for (std::size_t i = 0, n = in.count(); in.ok && i < n; ++i) {
        File f;
        f.word = in.count();
        f.bytes = in.field();
        f.mode = static_cast<unsigned>(in.count(07777));
        if (f.word >= q.words.size()) in.ok = false;
        files.push_back(std::move(f));
    }
    return in.ok && in.at == bytes.size() && !q.words.empty();
}

std::string WatchWire::encodeResult(const Result& r) {
    std::string out;
    putField(out, kResultTag);
    putCount(out, static_cast<std::size_t>(r.status));
    putCount(out, r.messages.size());
    for (const std::string& m : r.messages)
        putField(out, m);
    putField(out, r.text);
    putValue(out, r.data);
    return out;
}

bool WatchWire::decodeResult(std::string_view bytes, Result& r) {
    WireReader in{bytes};
    if (in.field() != kResultTag) return false;
    r = Result{};
    r.status = static_cast<int>(in.count(255));
    for (std::size_t i = 0, n = in.count(); in.ok && i < n; ++i)
        r.messages.push_back(in.field());
    r.text = in.field();
    r.data = takeValue(in);
    return in.ok && in.at == bytes.size();
}

} // namespace tessadorn::cli
