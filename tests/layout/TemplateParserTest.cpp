#include "layout/TemplateParser.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

namespace tessadorn {
namespace {

std::string dialog(const std::string& body) {
    return "7 DIALOG 0, 0, 213, 142\nCAPTION \"T\"\nBEGIN\n" + body + "\nEND\n";
}

// One control line and the control it must give.
struct GoodControl {
    const char* line;
    int id;
    ControlKind kind;
    std::uint32_t style;
    const char* text;
    int bitmap;
    Rect rect;
};

class GoodControlTest : public testing::TestWithParam<GoodControl> {};

TEST_P(GoodControlTest, ParsesKindStyleTextAndPlace) {
    const GoodControl& c = GetParam();
    std::string error = "stale";
    auto dialogs = parseTemplates(dialog(c.line), &error);
    ASSERT_EQ(dialogs.size(), 1u) << error;
    EXPECT_EQ(error, "");
    ASSERT_EQ(dialogs[0].controls.size(), 1u);
    const ControlTemplate& got = dialogs[0].controls[0];
    EXPECT_EQ(got.id, c.id);
    EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(got.style, c.style);
    EXPECT_EQ(got.text, c.text);
    EXPECT_EQ(got.bitmap, c.bitmap);
    EXPECT_EQ(got.rect.x, c.rect.x);
    EXPECT_EQ(got.rect.y, c.rect.y);
    EXPECT_EQ(got.rect.w, c.rect.w);
    EXPECT_EQ(got.rect.h, c.rect.h);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, GoodControlTest,
    testing::Values(
        GoodControl{"PUSHBUTTON \"Caster\", 1000, 4, 5, 40, 14, NOT WS_VISIBLE",
                    1000,
                    ControlKind::PushButton,
                    StyleHidden,
                    "Caster",
                    0,
                    {4, 5, 40, 14}},
        GoodControl{"DEFPUSHBUTTON \"OK\", 1, 1, 2, 3, 4",
                    1,
                    ControlKind::PushButton,
                    0,
                    "OK",
                    0,
                    {1, 2, 3, 4}},
        GoodControl{"LTEXT \"Connecting ...\", 200, 10, 120, 140, 10",
                    200,
                    ControlKind::Label,
                    0,
                    "Connecting ...",
                    0,
                    {10, 120, 140, 10}},
        GoodControl{
            "CTEXT \"c\", 5, 0, 0, 9, 9", 5, ControlKind::Label, StyleCenter, "c", 0, {0, 0, 9, 9}},
        GoodControl{"RTEXT \"r\", 5, 0, 0, 9, 9, WS_BORDER",
                    5,
                    ControlKind::Label,
                    StyleRight | StyleBorder,
                    "r",
                    0,
                    {0, 0, 9, 9}},
        GoodControl{"LTEXT \"\", -1, 0, 0, 9, 9", -1, ControlKind::Label, 0, "", 0, {0, 0, 9, 9}},
        GoodControl{"GROUPBOX \"Current Configuration : \", 1009, 2, 2, 150, 80",
                    1009,
                    ControlKind::GroupBox,
                    0,
                    "Current Configuration : ",
                    0,
                    {2, 2, 150, 80}},
        GoodControl{"EDITTEXT 1011, 60, 10, 90, 12, ES_PASSWORD | ES_NUMBER | ES_READONLY | "
                    "ES_MULTILINE",
                    1011,
                    ControlKind::Edit,
                    StylePassword | StyleDigitsOnly | StyleReadOnly | StyleMultiLine,
                    "",
                    0,
                    {60, 10, 90, 12}},
        GoodControl{"EDITTEXT 1012, 1, 1, 9, 9", 1012, ControlKind::Edit, 0, "", 0, {1, 1, 9, 9}},
        GoodControl{"LISTBOX 1005, 4, 20, 150, 80, LBS_NOSORT | WS_VSCROLL",
                    1005,
                    ControlKind::ListBox,
                    StyleNotSorted | StyleVScroll,
                    "",
                    0,
                    {4, 20, 150, 80}},
        GoodControl{"COMBOBOX 1137, 60, 70, 90, 60, CBS_DROPDOWNLIST",
                    1137,
                    ControlKind::ComboBox,
                    StyleDropDownList,
                    "",
                    0,
                    {60, 70, 90, 60}},
        GoodControl{"COMBOBOX 1137, 60, 70, 90, 60, CBS_DROPDOWN | WS_DISABLED",
                    1137,
                    ControlKind::ComboBox,
                    StyleDropDownEdit | StyleDisabled,
                    "",
                    0,
                    {60, 70, 90, 60}},
        GoodControl{"AUTOCHECKBOX \"Automatic Connection\", 1087, 4, 90, 100, 10",
                    1087,
                    ControlKind::CheckBox,
                    0,
                    "Automatic Connection",
                    0,
                    {4, 90, 100, 10}},
        GoodControl{"CONTROL 157, 1072, \"Static\", SS_BITMAP | SS_NOTIFY, 10, 11, 100, 20",
                    1072,
                    ControlKind::Bitmap,
                    StyleNotify,
                    "",
                    157,
                    {10, 11, 100, 20}},
        GoodControl{"CONTROL 151, 1066, \"Static\", SS_BITMAP | NOT WS_VISIBLE, 1, 1, 25, 21",
                    1066,
                    ControlKind::Bitmap,
                    StyleHidden,
                    "",
                    151,
                    {1, 1, 25, 21}},
        GoodControl{"CONTROL \"\", 1200, \"msctls_progress32\", WS_BORDER, 4, 100, 150, 8",
                    1200,
                    ControlKind::Progress,
                    StyleBorder,
                    "",
                    0,
                    {4, 100, 150, 8}},
        GoodControl{"CONTROL \"t\", 3, \"static\", SS_CENTER, 1, 1, 9, 9",
                    3,
                    ControlKind::Label,
                    StyleCenter,
                    "t",
                    0,
                    {1, 1, 9, 9}},
        GoodControl{"CONTROL \"b\", 3, \"Button\", BS_AUTOCHECKBOX | WS_TABSTOP, 1, 1, 9, 9",
                    3,
                    ControlKind::CheckBox,
                    0,
                    "b",
                    0,
                    {1, 1, 9, 9}},
        GoodControl{"CONTROL \"g\", 3, \"Button\", BS_GROUPBOX, 1, 1, 9, 9",
                    3,
                    ControlKind::GroupBox,
                    0,
                    "g",
                    0,
                    {1, 1, 9, 9}},
        GoodControl{"CONTROL \"p\", 3, \"Button\", 0, 1, 1, 9, 9",
                    3,
                    ControlKind::PushButton,
                    0,
                    "p",
                    0,
                    {1, 1, 9, 9}},
        GoodControl{"CONTROL \"\", 3, \"Edit\", ES_NUMBER, 1, 1, 9, 9",
                    3,
                    ControlKind::Edit,
                    StyleDigitsOnly,
                    "",
                    0,
                    {1, 1, 9, 9}},
        // NOT clears what an earlier word set; WS_VISIBLE after NOT WS_VISIBLE shows again.
        GoodControl{"EDITTEXT 9, 1, 1, 9, 9, ES_NUMBER | NOT ES_NUMBER | ES_READONLY",
                    9,
                    ControlKind::Edit,
                    StyleReadOnly,
                    "",
                    0,
                    {1, 1, 9, 9}},
        GoodControl{"LTEXT \"v\", 9, 1, 1, 9, 9, NOT WS_VISIBLE | WS_VISIBLE",
                    9,
                    ControlKind::Label,
                    0,
                    "v",
                    0,
                    {1, 1, 9, 9}},
        GoodControl{
            "LTEXT \"hex\", 0x10, 1, 1, 9, 9", 16, ControlKind::Label, 0, "hex", 0, {1, 1, 9, 9}},
        GoodControl{"LTEXT \"max\", 2147483647, 1, 1, 9, 9",
                    2147483647,
                    ControlKind::Label,
                    0,
                    "max",
                    0,
                    {1, 1, 9, 9}}));

struct TextCase {
    const char* source; // the quoted text as written in the file
    const char* text;   // what the control holds
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.source;
}

class StringEscapeTest : public testing::TestWithParam<TextCase> {};

TEST_P(StringEscapeTest, ResolvesEscapes) {
    std::string error;
    auto dialogs = parseTemplates(
        dialog(std::string("LTEXT ") + GetParam().source + ", 1, 0, 0, 9, 9"), &error);
    ASSERT_EQ(dialogs.size(), 1u) << error;
    EXPECT_EQ(dialogs[0].controls.at(0).text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, StringEscapeTest,
    testing::Values(TextCase{R"("a\r\nb")", "a\r\nb"}, TextCase{R"("say \"hi\"")", "say \"hi\""},
                    TextCase{R"("back\\slash")", "back\\slash"}, TextCase{R"("tab\t")", "tab\t"},
                    TextCase{R"("Autorización:")", "Autorización:"},
                    TextCase{R"("a // not a comment, 5")", "a // not a comment, 5"},
                    TextCase{R"("")", ""}));

TEST(TemplateParser, ReadsSeveralDialogsWithCaptionsCommentsAndLineEnds) {
    const std::string text = "\xEF\xBB\xBF// templates\r\n"
                             "\r\n"
                             "103 DIALOG 0, 0, 213, 142\r\n"
                             "CAPTION \"TESSADORN v3.0.3.3\"\r\n"
                             "BEGIN\r\n"
                             "    // a comment inside\r\n"
                             "    LTEXT \"a\", -1, 1, 2, 3, 4\r\n"
                             "    LTEXT \"b\", -1, 1, 2, 3, 4 // trailing comment\r\n"
                             "END\r\n"
                             "102 DIALOG 0, 0, 160, 196\n"
                             "BEGIN\n"
                             "END";
    std::string error;
    auto dialogs = parseTemplates(text, &error);
    ASSERT_EQ(dialogs.size(), 2u) << error;
    EXPECT_EQ(dialogs[0].id, 103);
    EXPECT_EQ(dialogs[0].caption, "TESSADORN v3.0.3.3");
    EXPECT_EQ(dialogs[0].rect.w, 213);
    EXPECT_EQ(dialogs[0].rect.h, 142);
    ASSERT_EQ(dialogs[0].controls.size(), 2u);
    EXPECT_EQ(dialogs[0].controls[1].text, "b");
    EXPECT_EQ(dialogs[1].id, 102);
    EXPECT_EQ(dialogs[1].caption, "");
    EXPECT_EQ(dialogs[1].rect.h, 196);
    EXPECT_TRUE(dialogs[1].controls.empty());
    EXPECT_EQ(dialogs[0].control(1), nullptr);
}

TEST(TemplateParser, EmptyTextGivesNoDialogsAndNoError) {
    std::string error = "stale";
    EXPECT_TRUE(parseTemplates("// nothing\n\n", &error).empty());
    EXPECT_EQ(error, "");
    EXPECT_TRUE(parseTemplates("", nullptr).empty());
}

// Bad input: no dialogs at all, and an error naming the line.
struct BadCase {
    const char* name;
    const char* text;
    int line;
    const char* fragment; // part of the message after "line N: "
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}
void PrintTo(const GoodControl& c, std::ostream* os) {
    *os << c.line;
}

class BadTemplateTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadTemplateTest, FailsWithLineNumber) {
    const BadCase& c = GetParam();
    std::string error;
    auto dialogs = parseTemplates(c.text, &error);
    EXPECT_TRUE(dialogs.empty());
    const std::string prefix = "line " + std::to_string(c.line) + ": ";
    EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
    EXPECT_NE(error.find(c.fragment), std::string::npos) << error;
    EXPECT_TRUE(parseTemplates(c.text, nullptr).empty()); // no error sink: still refused
}

#define HEAD "7 DIALOG 0, 0, 213, 142\nBEGIN\n"

INSTANTIATE_TEST_SUITE_P(
    Errors, BadTemplateTest,
    testing::Values(
        BadCase{"LetterInNumber", HEAD "LTEXT \"a\", 1, 12a, 0, 9, 9\nEND\n", 3, "bad number"},
        BadCase{"NumberTooLarge", HEAD "LTEXT \"a\", 1, 99999999999, 0, 9, 9\nEND\n", 3,
                "bad number"},
        BadCase{"NumberJustPastInt", HEAD "LTEXT \"a\", 1, 2147483648, 0, 9, 9\nEND\n", 3,
                "bad number"},
        BadCase{"TextForNumber", HEAD "LTEXT \"a\", \"b\", 0, 0, 9, 9\nEND\n", 3, "id"},
        BadCase{"EmptyField", HEAD "LTEXT \"a\", 1, , 0, 9, 9\nEND\n", 3, "x: number expected"},
        BadCase{"MissingField", HEAD "LTEXT \"a\", 1, 0, 0, 9\nEND\n", 3, "LTEXT"},
        BadCase{"TooManyFields", HEAD "EDITTEXT 1, 0, 0, 9, 9, ES_NUMBER, 4\nEND\n", 3, "EDITTEXT"},
        BadCase{"MissingText", HEAD "PUSHBUTTON 1000, 0, 0, 9, 9, 1\nEND\n", 3, "text"},
        BadCase{"ControlMissingClass", HEAD "CONTROL 157, 1072, SS_BITMAP, 1, 1, 9, 9\nEND\n", 3,
                "CONTROL"},
        BadCase{"UnknownClass", HEAD "CONTROL \"\", 1, \"Slider\", 0, 1, 1, 9, 9\nEND\n", 3,
                "Slider"},
        BadCase{"BitmapWithoutNumber",
                HEAD "CONTROL \"x\", 1, \"Static\", SS_BITMAP, 1, 1, 9, 9\nEND\n", 3, "bitmap"},
        BadCase{"UnknownStyle", HEAD "EDITTEXT 1, 0, 0, 9, 9, ES_NUMBR\nEND\n", 3, "ES_NUMBR"},
        BadCase{"DanglingPipe", HEAD "EDITTEXT 1, 0, 0, 9, 9, ES_NUMBER |\nEND\n", 3, "style"},
        BadCase{"StyleWithoutPipe", HEAD "EDITTEXT 1, 0, 0, 9, 9, ES_NUMBER WS_BORDER\nEND\n", 3,
                "'|'"},
        BadCase{"StrayNumberInStyle", HEAD "EDITTEXT 1, 0, 0, 9, 9, 0x80\nEND\n", 3, "style"},
        BadCase{"OpenString", HEAD "LTEXT \"abc, 1, 0, 0, 9, 9\nEND\n", 3, "not closed"},
        BadCase{"UnknownEscape", HEAD "LTEXT \"a\\q\", 1, 0, 0, 9, 9\nEND\n", 3, "escape"},
        BadCase{"StrayCharacter", HEAD "LTEXT \"a\"; 1, 0, 0, 9, 9\nEND\n", 3, "';'"},
        BadCase{"ZeroWidth", HEAD "LTEXT \"a\", 1, 0, 0, 0, 9\nEND\n", 3, "positive"},
        BadCase{"NegativeId", HEAD "LTEXT \"a\", -2, 0, 0, 9, 9\nEND\n", 3, "id"},
        BadCase{"RepeatedId", HEAD "LTEXT \"a\", 5, 0, 0, 9, 9\nLTEXT \"b\", 5, 0, 0, 9, 9\nEND\n",
                4, "repeated"},
        BadCase{"UnknownKeyword", HEAD "SCROLLBAR 1, 0, 0, 9, 9\nEND\n", 3, "SCROLLBAR"},
        BadCase{"NoEnd", HEAD "LTEXT \"a\", 1, 0, 0, 9, 9\n", 3, "no END"},
        BadCase{"NoBegin", "7 DIALOG 0, 0, 9, 9\nCAPTION \"x\"\n", 2, "no BEGIN"},
        BadCase{"ControlBeforeBegin", "7 DIALOG 0, 0, 9, 9\nLTEXT \"a\", 1, 0, 0, 9, 9\n", 2,
                "BEGIN"},
        BadCase{"ControlOutsideDialog", "LTEXT \"a\", 1, 0, 0, 9, 9\n", 1, "DIALOG"},
        BadCase{"DialogSizeMissing", "7 DIALOG 0, 0, 9\nBEGIN\nEND\n", 1, "DIALOG"},
        BadCase{"CaptionWithoutText", "7 DIALOG 0, 0, 9, 9\nCAPTION Servers\nBEGIN\nEND\n", 2,
                "CAPTION"},
        BadCase{"DialogTwice", HEAD "END\n7 DIALOG 0, 0, 9, 9\nBEGIN\nEND\n", 4, "twice"},
        BadCase{"SecondDialogBroken",
                HEAD "END\n// fine so far\n8 DIALOG 0, 0, 9, 9\nBEGIN\nLTEXT \"a\", 1, 0, 0, x, "
                     "9\nEND\n",
                7, "width: number expected"}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

#undef HEAD

} // namespace
} // namespace tessadorn
