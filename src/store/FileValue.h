#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace tessadorn {

// A value of the caster list file: its text, exactly as the file held it or a dialog set it,
// and what the text means to the program, read once whenever the text is set. Save writes the
// text back unchanged; every reader uses value() and never reads the text again.
//
// Set from a text (a literal or a std::string), so the file reader and the dialogs store the
// very text they would write. Two values are equal when their texts are.
template <typename Value, Value (*Read)(std::string_view)> class FileValue {
  public:
    FileValue() : m_Value(Read({})) {}
    FileValue(std::string text) : m_Text(std::move(text)), m_Value(Read(m_Text)) {}
    FileValue(const char* text) : FileValue(std::string(text)) {}

    const std::string& text() const { return m_Text; }
    Value value() const { return m_Value; }

    bool operator==(const FileValue& other) const { return m_Text == other.m_Text; }

    friend std::ostream& operator<<(std::ostream& os, const FileValue& v) {
        return os << '"' << v.m_Text << '"';
    }

  private:
    std::string m_Text;
    Value m_Value;
};

} // namespace tessadorn
