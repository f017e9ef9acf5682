#include "cli/Value.h"

#include <cstdio>

namespace tessadorn::cli {

Value Value::boolean(bool b) {
    Value v;
    v.kind = Kind::Bool;
    v.flag = b;
    return v;
}

Value Value::num(double n) {
    Value v;
    v.kind = Kind::Number;
    v.number = n;
    return v;
}

Value Value::str(std::string s) {
    Value v;
    v.kind = Kind::String;
    v.text = std::move(s);
    return v;
}

Value Value::array() {
    Value v;
    v.kind = Kind::Array;
    return v;
}

Value Value::object() {
    Value v;
    v.kind = Kind::Object;
    return v;
}

Value& Value::set(std::string key, Value value) {
    members.emplace_back(std::move(key), std::move(value));
    return *this;
}

Value& Value::push(Value value) {
    items.push_back(std::move(value));
    return *this;
}

const Value* Value::get(const std::string& key) const {
    for (const auto& [name, value] : members)
        if (name == key) return &value;
    return nullptr;
}

std::string Value::line() const {
    switch (kind) {
    case Kind::Null:
        return {};
    case Kind::Bool:
        return flag ? "yes" : "no";
    case Kind::Number: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.10g", number);
        return buffer;
    }
    case Kind::String:
        return text;
    case Kind::Array: {
        std::string out;
        for (const Value& item : items)
            out += (out.empty() ? "" : ", ") + item.line();
        return out;
    }
    case Kind::Object: {
        std::string out;
        for (const auto& [name, value] : members)
            if (value.kind != Kind::Null)
                out += (out.empty() ? "" : "  ") + name + "=" + value.line();
        return out;
    }
    }
    return {};
}

std::string alignedTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i) widths.push_back(0);
            widths[i] = std::max(widths[i], row[i].size());
        }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

} // namespace tessadorn::cli
