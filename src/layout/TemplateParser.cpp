#include "layout/TemplateParser.h"

#include <charconv>
#include <climits>
#include <optional>
#include <set>

namespace tessadorn {

namespace {

enum class TokenType { Word, Number, String, Comma, Pipe };

struct Token {
    TokenType type = TokenType::Word;
    std::string text; // word, string contents (escapes resolved) or number spelling
    long long number = 0;
};

// A failed step carries its message; the parser adds the line number.
struct Failure {
    std::string message;
};

bool isWordStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isWordChar(char c) {
    return isWordStart(c) || (c >= '0' && c <= '9');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<Failure> readString(std::string_view line, std::size_t& pos, Token& token) {
    ++pos; // opening quote
    std::string text;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') {
            token.type = TokenType::String;
            token.text = std::move(text);
            return std::nullopt;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (pos >= line.size()) break;
        char e = line[pos++];
        switch (e) {
        case 'r':
            text += '\r';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case '"':
            text += '"';
            break;
        case '\\':
            text += '\\';
            break;
        default:
            return Failure{std::string("unknown escape \\") + e + " in string"};
        }
    }
    return Failure{"string not closed"};
}

std::optional<Failure> readNumber(std::string_view line, std::size_t& pos, Token& token) {
    std::size_t start = pos;
    if (line[pos] == '-' || line[pos] == '+') ++pos;
    while (pos < line.size() && isWordChar(line[pos]))
        ++pos;
    std::string_view spelling = line.substr(start, pos - start);
    std::string_view digits = spelling;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    long long value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        value > INT_MAX)
        return Failure{"bad number '" + std::string(spelling) + "'"};
    token.type = TokenType::Number;
    token.text = std::string(spelling);
    token.number = negative ? -value : value;
    return std::nullopt;
}

std::optional<Failure> tokenize(std::string_view line, std::vector<Token>& tokens) {
    std::size_t pos = 0;
    while (pos < line.size()) {
        char c = line[pos];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++pos;
            continue;
        }
        if (c == '/' && pos + 1 < line.size() && line[pos + 1] == '/') break; // comment
        Token token;
        if (c == ',') {
            token.type = TokenType::Comma;
            ++pos;
        } else if (c == '|') {
            token.type = TokenType::Pipe;
            ++pos;
        } else if (c == '"') {
            if (auto failure = readString(line, pos, token)) return failure;
        } else if (isDigit(c) ||
                   ((c == '-' || c == '+') && pos + 1 < line.size() && isDigit(line[pos + 1]))) {
            if (auto failure = readNumber(line, pos, token)) return failure;
        } else if (isWordStart(c)) {
            std::size_t start = pos;
            while (pos < line.size() && isWordChar(line[pos]))
                ++pos;
            token.type = TokenType::Word;
            token.text = std::string(line.substr(start, pos - start));
        } else {
            return Failure{std::string("unexpected character '") + c + "'"};
        }
        tokens.push_back(std::move(token));
    }
    return std::nullopt;
}

// The comma-separated fields of a statement after its keyword.
using Field = std::vector<Token>;

std::vector<Field> splitFields(const std::vector<Token>& tokens, std::size_t first) {
    std::vector<Field> fields;
    if (first >= tokens.size()) return fields;
    fields.emplace_back();
    for (std::size_t i = first; i < tokens.size(); ++i) {
        if (tokens[i].type == TokenType::Comma)
            fields.emplace_back();
        else
            fields.back().push_back(tokens[i]);
    }
    return fields;
}

std::optional<Failure> fieldNumber(const Field& field, const char* what, int& value) {
    if (field.size() != 1 || field[0].type != TokenType::Number)
        return Failure{std::string(what) + ": number expected"};
    if (field[0].number < INT_MIN || field[0].number > INT_MAX)
        return Failure{std::string(what) + ": number out of range"};
    value = static_cast<int>(field[0].number);
    return std::nullopt;
}

std::optional<Failure> fieldString(const Field& field, const char* what, std::string& value) {
    if (field.size() != 1 || field[0].type != TokenType::String)
        return Failure{std::string(what) + ": quoted text expected"};
    value = field[0].text;
    return std::nullopt;
}

struct Style {
    std::uint32_t flags = 0;
    std::set<std::string> words; // the words set without NOT, for telling CONTROL classes apart
};

struct StyleWord {
    const char* word;
    std::uint32_t flag; // 0: accepted, changes nothing
};

constexpr StyleWord kStyleWords[] = {
    {"WS_DISABLED", StyleDisabled},
    {"ES_PASSWORD", StylePassword},
    {"ES_NUMBER", StyleDigitsOnly},
    {"ES_READONLY", StyleReadOnly},
    {"ES_MULTILINE", StyleMultiLine},
    {"LBS_NOSORT", StyleNotSorted},
    {"CBS_DROPDOWNLIST", StyleDropDownList},
    {"CBS_DROPDOWN", StyleDropDownEdit},
    {"SS_NOTIFY", StyleNotify},
    {"SS_CENTER", StyleCenter},
    {"SS_RIGHT", StyleRight},
    {"WS_BORDER", StyleBorder},
    {"WS_VSCROLL", StyleVScroll},
    {"WS_VISIBLE", 0},
    {"WS_CHILD", 0},
    {"WS_TABSTOP", 0},
    {"WS_GROUP", 0},
    {"WS_HSCROLL", 0},
    {"ES_LEFT", 0},
    {"ES_AUTOHSCROLL", 0},
    {"ES_AUTOVSCROLL", 0},
    {"ES_WANTRETURN", 0},
    {"LBS_NOTIFY", 0},
    {"LBS_NOINTEGRALHEIGHT", 0},
    {"SS_LEFT", 0},
    {"SS_BITMAP", 0},
    {"SS_ICON", 0},
    {"SS_CENTERIMAGE", 0},
    {"SS_REALSIZEIMAGE", 0},
    {"BS_PUSHBUTTON", 0},
    {"BS_DEFPUSHBUTTON", 0},
    {"BS_AUTOCHECKBOX", 0},
    {"BS_GROUPBOX", 0},
    {"PBS_SMOOTH", 0},
};

std::optional<Failure> parseStyle(const Field& field, Style& style) {
    if (field.empty()) return Failure{"style: word expected"};
    std::size_t i = 0;
    while (true) {
        bool negated = false;
        if (i < field.size() && field[i].type == TokenType::Word && field[i].text == "NOT") {
            negated = true;
            ++i;
        }
        if (i >= field.size()) return Failure{"style: word expected"};
        const Token& term = field[i++];
        if (term.type == TokenType::Number) {
            if (term.number != 0) return Failure{"style: unknown number '" + term.text + "'"};
        } else if (term.type == TokenType::Word) {
            const StyleWord* known = nullptr;
            for (const auto& w : kStyleWords)
                if (term.text == w.word) known = &w;
            if (!known) return Failure{"style: unknown word '" + term.text + "'"};
            if (term.text == "WS_VISIBLE") {
                if (negated)
                    style.flags |= StyleHidden;
                else
                    style.flags &= ~static_cast<std::uint32_t>(StyleHidden);
            } else if (negated) {
                style.flags &= ~known->flag;
                style.words.erase(term.text);
            } else {
                style.flags |= known->flag;
                style.words.insert(term.text);
            }
        } else {
            return Failure{"style: word expected"};
        }
        if (i == field.size()) return std::nullopt;
        if (field[i].type != TokenType::Pipe) return Failure{"style: '|' expected"};
        ++i;
    }
}

std::optional<Failure> parseRect(const std::vector<Field>& fields, std::size_t first, Rect& rect) {
    static const char* const names[] = {"x", "y", "width", "height"};
    int* targets[] = {&rect.x, &rect.y, &rect.w, &rect.h};
    for (int k = 0; k < 4; ++k)
        if (auto failure = fieldNumber(fields[first + k], names[k], *targets[k])) return failure;
    if (rect.w <= 0 || rect.h <= 0) return Failure{"width and height must be positive"};
    return std::nullopt;
}

std::optional<Failure> parseId(const Field& field, int& id) {
    if (auto failure = fieldNumber(field, "id", id)) return failure;
    if (id < -1) return Failure{"id must be -1 (none) or not negative"};
    return std::nullopt;
}

std::string toUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct TextKeyword {
    const char* keyword;
    ControlKind kind;
    std::uint32_t style;
};

constexpr TextKeyword kTextKeywords[] = {
    {"LTEXT", ControlKind::Label, 0},
    {"CTEXT", ControlKind::Label, StyleCenter},
    {"RTEXT", ControlKind::Label, StyleRight},
    {"PUSHBUTTON", ControlKind::PushButton, 0},
    {"DEFPUSHBUTTON", ControlKind::PushButton, 0},
    {"GROUPBOX", ControlKind::GroupBox, 0},
    {"AUTOCHECKBOX", ControlKind::CheckBox, 0},
};

struct IdKeyword {
    const char* keyword;
    ControlKind kind;
};

constexpr IdKeyword kIdKeywords[] = {
    {"EDITTEXT", ControlKind::Edit},
    {"LISTBOX", ControlKind::ListBox},
    {"COMBOBOX", ControlKind::ComboBox},
};

// "LTEXT "text", id, x, y, w, h [, style]" and its kin.
std::optional<Failure> parseTextControl(const TextKeyword& keyword,
                                        const std::vector<Field>& fields,
                                        ControlTemplate& control) {
    if (fields.size() < 6 || fields.size() > 7)
        return Failure{std::string(keyword.keyword) +
                       ": expected \"text\", id, x, y, width, height [, style]"};
    control.kind = keyword.kind;
    control.style = keyword.style;
    if (auto failure = fieldString(fields[0], "text", control.text)) return failure;
    if (auto failure = parseId(fields[1], control.id)) return failure;
    if (auto failure = parseRect(fields, 2, control.rect)) return failure;
    if (fields.size() == 7) {
        Style style;
        if (auto failure = parseStyle(fields[6], style)) return failure;
        control.style |= style.flags;
    }
    return std::nullopt;
}

// "EDITTEXT id, x, y, w, h [, style]" and its kin.
std::optional<Failure> parseIdControl(const IdKeyword& keyword, const std::vector<Field>& fields,
                                      ControlTemplate& control) {
    if (fields.size() < 5 || fields.size() > 6)
        return Failure{std::string(keyword.keyword) +
                       ": expected id, x, y, width, height [, style]"};
    control.kind = keyword.kind;
    if (auto failure = parseId(fields[0], control.id)) return failure;
    if (auto failure = parseRect(fields, 1, control.rect)) return failure;
    if (fields.size() == 6) {
        Style style;
        if (auto failure = parseStyle(fields[5], style)) return failure;
        control.style = style.flags;
    }
    return std::nullopt;
}

// "CONTROL text-or-bitmap, id, "class", style, x, y, w, h".
std::optional<Failure> parseGenericControl(const std::vector<Field>& fields,
                                           ControlTemplate& control) {
    if (fields.size() != 8)
        return Failure{"CONTROL: expected text or bitmap, id, \"class\", style, x, y, width, "
                       "height"};
    if (auto failure = parseId(fields[1], control.id)) return failure;
    std::string className;
    if (auto failure = fieldString(fields[2], "class", className)) return failure;
    Style style;
    if (auto failure = parseStyle(fields[3], style)) return failure;
    if (auto failure = parseRect(fields, 4, control.rect)) return failure;
    control.style = style.flags;

    const std::string upper = toUpper(className);
    const bool picture = style.words.count("SS_BITMAP") || style.words.count("SS_ICON");
    if (upper == "STATIC") {
        control.kind = picture ? ControlKind::Bitmap : ControlKind::Label;
    } else if (upper == "BUTTON") {
        if (style.words.count("BS_AUTOCHECKBOX"))
            control.kind = ControlKind::CheckBox;
        else if (style.words.count("BS_GROUPBOX"))
            control.kind = ControlKind::GroupBox;
        else
            control.kind = ControlKind::PushButton;
    } else if (upper == "EDIT") {
        control.kind = ControlKind::Edit;
    } else if (upper == "LISTBOX") {
        control.kind = ControlKind::ListBox;
    } else if (upper == "COMBOBOX") {
        control.kind = ControlKind::ComboBox;
    } else if (upper == "MSCTLS_PROGRESS32") {
        control.kind = ControlKind::Progress;
    } else {
        return Failure{"CONTROL: unknown class \"" + className + "\""};
    }

    const Field& first = fields[0];
    if (control.kind == ControlKind::Bitmap) {
        if (auto failure = fieldNumber(first, "bitmap", control.bitmap)) return failure;
        if (control.bitmap <= 0) return Failure{"bitmap: number must be positive"};
    } else {
        if (auto failure = fieldString(first, "text", control.text)) return failure;
    }
    return std::nullopt;
}

class Parser {
  public:
    std::optional<Failure> statement(const std::vector<Token>& tokens) {
        const Token& head = tokens[0];
        switch (m_State) {
        case State::Outside:
            return header(tokens);
        case State::Header:
            if (head.type == TokenType::Word && head.text == "CAPTION") return caption(tokens);
            if (head.type == TokenType::Word && head.text == "BEGIN" && tokens.size() == 1) {
                m_State = State::Body;
                return std::nullopt;
            }
            return Failure{"CAPTION or BEGIN expected"};
        case State::Body:
            if (head.type == TokenType::Word && head.text == "END" && tokens.size() == 1) {
                m_State = State::Outside;
                return std::nullopt;
            }
            return control(tokens);
        }
        return std::nullopt;
    }

    std::optional<Failure> finish() const {
        if (m_State == State::Header)
            return Failure{"dialog " + std::to_string(dialogs_.back().id) + " has no BEGIN"};
        if (m_State == State::Body)
            return Failure{"dialog " + std::to_string(dialogs_.back().id) + " has no END"};
        return std::nullopt;
    }

    std::vector<DialogTemplate> take() { return std::move(dialogs_); }

  private:
    enum class State { Outside, Header, Body };

    std::optional<Failure> header(const std::vector<Token>& tokens) {
        if (tokens.size() < 2 || tokens[0].type != TokenType::Number ||
            tokens[1].type != TokenType::Word || tokens[1].text != "DIALOG")
            return Failure{"\"<id> DIALOG x, y, width, height\" expected"};
        DialogTemplate dialog;
        if (tokens[0].number <= 0) return Failure{"dialog id must be positive"};
        dialog.id = static_cast<int>(tokens[0].number);
        const std::vector<Field> fields = splitFields(tokens, 2);
        if (fields.size() != 4) return Failure{"DIALOG: expected x, y, width, height"};
        if (auto failure = parseRect(fields, 0, dialog.rect)) return failure;
        for (const auto& other : dialogs_)
            if (other.id == dialog.id)
                return Failure{"dialog " + std::to_string(dialog.id) + " defined twice"};
        dialogs_.push_back(std::move(dialog));
        m_State = State::Header;
        return std::nullopt;
    }

    std::optional<Failure> caption(const std::vector<Token>& tokens) {
        if (tokens.size() != 2 || tokens[1].type != TokenType::String)
            return Failure{"CAPTION: one quoted text expected"};
        dialogs_.back().caption = tokens[1].text;
        return std::nullopt;
    }

    std::optional<Failure> control(const std::vector<Token>& tokens) {
        if (tokens[0].type != TokenType::Word) return Failure{"control keyword or END expected"};
        const std::string& keyword = tokens[0].text;
        const std::vector<Field> fields = splitFields(tokens, 1);
        ControlTemplate control;
        std::optional<Failure> failure;
        bool known = false;
        for (const auto& k : kTextKeywords)
            if (keyword == k.keyword) {
                known = true;
                failure = parseTextControl(k, fields, control);
            }
        for (const auto& k : kIdKeywords)
            if (keyword == k.keyword) {
                known = true;
                failure = parseIdControl(k, fields, control);
            }
        if (keyword == "CONTROL") {
            known = true;
            failure = parseGenericControl(fields, control);
        }
        if (!known) return Failure{"unknown control keyword '" + keyword + "'"};
        if (failure) return failure;
        DialogTemplate& dialog = dialogs_.back();
        if (control.id >= 0 && dialog.control(control.id))
            return Failure{"control id " + std::to_string(control.id) + " repeated in dialog " +
                           std::to_string(dialog.id)};
        dialog.controls.push_back(std::move(control));
        return std::nullopt;
    }

    State m_State = State::Outside;
    std::vector<DialogTemplate> dialogs_;
};

} // namespace

std::vector<DialogTemplate> parseTemplates(std::string_view text, std::string* error) {
    if (error) error->clear();
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3); // UTF-8 byte order mark
    Parser parser;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        std::vector<Token> tokens;
        std::optional<Failure> failure = tokenize(line, tokens);
        if (!failure && !tokens.empty()) failure = parser.statement(tokens);
        if (failure) {
            if (error) *error = "line " + std::to_string(lineNumber) + ": " + failure->message;
            return {};
        }
    }
    if (auto failure = parser.finish()) {
        if (error) *error = "line " + std::to_string(lineNumber) + ": " + failure->message;
        return {};
    }
    return parser.take();
}

} // namespace tessadorn
