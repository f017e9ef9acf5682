#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tessadorn::cli {

// A command's result as a tree of plain values, written out as JSON or as text by the program.
// Texts are UTF-8.
struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    double number = 0;
    std::string text;
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;

    static Value null() { return {}; }
    static Value boolean(bool b);
    static Value num(double n);
    static Value str(std::string s);
    static Value array();
    static Value object();

    // Adds a member to an object (returns it for chaining) or an item to an array.
    Value& set(std::string key, Value value);
    Value& push(Value value);
    // The member called `key`, or nullptr.
    const Value* get(const std::string& key) const;

    // The value as one line of text: "yes"/"no", the number without trailing zeros, the text;
    // empty for null; nested values as "key=value" pairs.
    std::string line() const;
};

// The value as JSON, members in the order they were set: one line (a watch line, a script's
// output), or indented by four blanks a level with a line end after it (a file, a terminal).
std::string jsonText(const Value& value, bool indented);

// Rows with aligned columns (two blanks between them), a header first; trailing blanks cut.
std::string alignedTable(const std::vector<std::vector<std::string>>& rows);

} // namespace tessadorn::cli
