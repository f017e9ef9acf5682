// The program's own dialog templates: every dialog's controls with their texts, pictures and
// styles, the two orientations of each dialog agreeing, and a layout that fits the handheld's
// screen without controls covering each other.
#include "layout/TemplateLibrary.h"
#include "platform/ProgramInfo.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tessadorn {
namespace {

constexpr int kLandscapeW = 213, kLandscapeH = 142; // 320 x 214 px
constexpr int kPortraitW = 160, kPortraitH = 196;   // 240 x 294 px

// Style flags whose presence or absence is part of a control's behaviour; the others (border,
// scroll bar, alignment) are only looked for when a control names them.
constexpr std::uint32_t kExactStyles =
    StyleHidden | StyleDisabled | StylePassword | StyleDigitsOnly | StyleReadOnly | StyleMultiLine |
    StyleNotSorted | StyleDropDownList | StyleDropDownEdit | StyleNotify;

struct Expected {
    int id;
    ControlKind kind;
    const char* landscapeText; // nullptr: a control without text of its own
    const char* portraitText;  // nullptr: the same as in landscape
    int bitmap;
    std::uint32_t style;
};

Expected text(int id, ControlKind kind, const char* t, std::uint32_t style = 0) {
    return {id, kind, t, nullptr, 0, style};
}
Expected label(int id, const char* t, std::uint32_t style = 0) {
    return text(id, ControlKind::Label, t, style);
}
Expected button(int id, const char* t, std::uint32_t style = 0) {
    return text(id, ControlKind::PushButton, t, style);
}
Expected twoTexts(int id, ControlKind kind, const char* landscape, const char* portrait,
                  std::uint32_t style = 0) {
    return {id, kind, landscape, portrait, 0, style};
}
Expected picture(int id, int bitmap, std::uint32_t style = 0) {
    return {id, ControlKind::Bitmap, nullptr, nullptr, bitmap, style};
}
Expected plain(int id, ControlKind kind, std::uint32_t style = 0) {
    return {id, kind, nullptr, nullptr, 0, style};
}

struct ExpectedDialog {
    const char* name;
    int landscape;
    int portrait;
    const char* caption;
    std::vector<Expected> controls;
    std::vector<std::set<int>> samePlace; // controls shown one at a time at one place
    // Texts the program writes into controls at run time: they must fit as well.
    std::vector<std::pair<int, std::vector<const char*>>> runtimeTexts;
};

void PrintTo(const ExpectedDialog& want, std::ostream* os) {
    *os << want.name;
}

std::vector<Expected> mainControls() {
    std::vector<Expected> c = {
        picture(1072, 157),
        label(200, "Connecting ..."),
        text(1009, ControlKind::GroupBox, "Current Configuration : "),
        twoTexts(1086, ControlKind::Label, "SN:", "SN: "),
        twoTexts(1034, ControlKind::Label, "Server:", "Servidor:"),
        twoTexts(1035, ControlKind::Label, "Authorization :", "Autorización:"),
        twoTexts(1093, ControlKind::Label, "GPS Position :", "Posición GPS :"),
        label(1125, "Server: ACTIVE"),
        text(1087, ControlKind::CheckBox, "Automatic Connection"),
        label(1073, "APN Info"),
        label(1124, "Firmware"),
        picture(1063, 142, StyleHidden),
        picture(1064, 145, StyleHidden),
        picture(1094, 158, StyleNotify),
        picture(1130, 188, StyleNotify),
        picture(1095, 163, StyleNotify),
        picture(1096, 159, StyleNotify),
        picture(1100, 164, StyleNotify),
        picture(1097, 162, StyleNotify),
        picture(1098, 160, StyleNotify),
        picture(1099, 161, StyleNotify),
        picture(1123, 185, StyleNotify),
        picture(1101, 165),
        picture(1102, 167),
        picture(1103, 169),
        picture(1104, 168),
        button(1000, "Caster"),
        button(1074, "APN"),
        button(1083, "GPS"),
        button(1059, "Server"),
        button(1060, "Client"),
        button(1001, "Conectar"),
        button(1113, "...", StyleHidden),
        label(1050, "MODE"),
        label(1046, "MODEL"),
        label(1049, "IP", StyleHidden),
    };
    for (int i = 0; i < 5; ++i)
        c.push_back(picture(1107 + i, 171 + i));
    for (int i = 0; i < 6; ++i)
        c.push_back(picture(1066 + i, 151 + i, StyleHidden));
    return c;
}

std::vector<Expected> updateControls() {
    std::vector<Expected> c = {
        label(1017, "APN :"),
        plain(1011, ControlKind::Edit),
        label(1018, "User :"),
        plain(1012, ControlKind::Edit),
        label(1019, "Password :"),
        plain(1013, ControlKind::Edit, StylePassword),
        button(1114, "Start Update"),
        button(1115, "Continue", StyleHidden),
        plain(1025, ControlKind::Progress, StyleHidden),
        label(1116, "Estático", StyleHidden),
        button(1, "Aceptar", StyleHidden),
        button(2, "Cancelar", StyleHidden),
    };
    for (int i = 0; i < 5; ++i)
        c.push_back(picture(1107 + i, 171 + i, StyleHidden));
    for (int i = 0; i < 5; ++i)
        c.push_back(picture(1117 + i, 179 + i, StyleHidden));
    return c;
}

std::vector<ExpectedDialog> expectedDialogs() {
    using K = ControlKind;
    return {
        {"MainDialog",
         103,
         102,
         kApplicationTitle, // from the project version; the templates must agree
         mainControls(),
         {{1094, 1130},
          {1095, 1101},
          {1096, 1100, 1102},
          {1097, 1103},
          {1098, 1099, 1123, 1104},
          {1107, 1108, 1109, 1110, 1111},
          {1066, 1067, 1068, 1069, 1070, 1071}},
         {{200, {"Connecting at 115200...", "Starting Communication..."}},
          {1086, {"Model: TESSADORN SERVER", "SN: Not available"}},
          {1034, {"Mode: WAVECOM EMULATOR", "TESSADORN IP: 192.168.100.200"}},
          {1035, {"Server IP: Not available", "Server IP: 192.168.100.200", "Baudrate: 115200"}},
          {1093,
           {"GPS Position: AUTO (WAVECOM)", "GPS Position: AUTO (TRIMBLE)",
            "TESSADORN Port: 65535"}},
          {1125, {"Server: ACTIVE + QRV CONNECT", "Server: NOT ACTIVE"}},
          {1073, {"APN not ready"}},
          {1124, {"FW v3.10.12"}},
          {1001, {"Conn."}}}},
        {"CasterSelectDialog",
         101,
         104,
         "Configuration",
         {label(1017, "Server:"), plain(1038, K::ComboBox, StyleDropDownList), button(1002, "..."),
          label(1018, "User:"), twoTexts(1055, K::Label, "", "Estátic", StyleBorder),
          label(1019, "Password:"), twoTexts(1056, K::Label, "", "Estátic", StyleBorder),
          text(1037, K::CheckBox, "Authentification required"), button(1000, "Cancel")},
         {},
         {{1018, {"Device:", "IP:"}}, {1019, {"Port:"}}}},
        {"SourceTableDialog",
         105,
         106,
         "Servers",
         {text(1040, K::GroupBox, "Server :"), label(1041, "Name :"),
          label(1042, "Authorization :"), label(1043, "Format :"), label(1044, "Solution :"),
          label(1045, ""), label(1046, ""), plain(1039, K::ListBox, StyleNotSorted | StyleVScroll),
          button(1000, "Cancel")},
         {},
         {{1042, {"Authorization: Basic", "Authorization: None"}},
          {1043, {"Format: RTCM 3.1"}},
          {1044, {"Solution: Simple Base"}},
          {1045, {"Distance: 12345 km", "Network solution: no fixed place"}},
          {1046, {"Needs your position"}}}},
        {"ServerListDialog",
         107,
         108,
         "Servers",
         {plain(1039, K::ListBox, StyleNotSorted), button(1000, "Add"), button(1001, "Edit"),
          button(1002, "Delete")},
         {},
         {}},
        {"ServerEditDialog",
         110,
         109,
         "Configuration",
         {label(-1, "Ntrip :"), plain(1137, K::ComboBox, StyleDropDownEdit), label(1017, "Name :"),
          plain(1011, K::Edit), label(1018, "Server :"), plain(1012, K::Edit),
          label(1019, "Port :"), plain(1013, K::Edit, StyleDigitsOnly), label(1055, "User :"),
          plain(1014, K::Edit), label(1056, "Password :"), plain(1015, K::Edit),
          button(1000, "Cancel")},
         {},
         {{1018, {"Organization:", "Server:"}}, {1055, {"Device:", "User:"}}}},
        {"ApnDialog",
         111,
         112,
         "APN Options",
         {label(1017, "APN :"), plain(1011, K::Edit), label(1018, "User :"), plain(1012, K::Edit),
          label(1019, "Password :"), plain(1013, K::Edit, StylePassword), label(1091, "IMEI :"),
          plain(1014, K::Edit, StyleReadOnly), button(1000, "Cancel")},
         {},
         {}},
        {"GpsSourceDialog",
         141,
         140,
         "GPS Configuration",
         {label(200, "GPS :"), plain(1082, K::ComboBox, StyleDropDownList),
          label(1057, "Comm Port :"), label(1126, "Baudrate :", StyleHidden),
          plain(1081, K::ComboBox, StyleDropDownList), text(1122, K::CheckBox, "Manual Input"),
          label(1076, "Latitude :"), plain(1077, K::Edit), label(1078, "Longitude :"),
          plain(1079, K::Edit), button(1085, "Cancel")},
         {{1057, 1126}},
         {}},
        {"FirmwareUpdateDialog",
         178,
         177,
         "Firmware Update",
         updateControls(),
         {{1114, 1115}, {1107, 1108, 1109, 1110, 1111, 1117, 1118, 1119, 1120, 1121}},
         {{1116,
           {"Preparing Tessadorn Update...", "Starting Update Process...",
            "Downloading Update Files...", "Installing Update Files...", "Process Finished"}}}},
        {"RelayServiceDialog",
         186,
         187,
         "Halvik QRV Connect Service",
         {text(1127, K::CheckBox, "Enable Halvik QRV Connect Service"),
          plain(1128, K::Edit, StyleMultiLine), label(1049, "IP :"), plain(1134, K::Edit),
          label(1057, "Port :"), plain(1135, K::Edit), label(1058, "Mountpoint :"),
          plain(1136, K::Edit), button(2, "Cancel"), button(1, "OK", StyleHidden)},
         {},
         {}},
    };
}

const TemplateLibrary& library() {
    return TemplateLibrary::program();
}

const ControlTemplate* findControl(const DialogTemplate& dialog, const Expected& e) {
    for (const auto& c : dialog.controls)
        if (c.id == e.id && (e.id != -1 || c.text == e.landscapeText)) return &c;
    return nullptr;
}

std::size_t characters(const std::string& utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Width in dialog units that a text needs in a control of this kind: ~5 px a character on the
// handheld's small font, plus the control's own frame or box.
int unitsFor(ControlKind kind, const std::string& text) {
    int px = static_cast<int>(characters(text)) * 5;
    switch (kind) {
    case ControlKind::PushButton:
        px += 6;
        break;
    case ControlKind::CheckBox:
        px += 14;
        break;
    case ControlKind::GroupBox:
        px += 8;
        break;
    default:
        break;
    }
    return (px * 2 + 2) / 3; // 1.5 px a unit, rounded up
}

bool overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

bool sameRect(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

std::string describe(const ControlTemplate& c) {
    return std::to_string(c.id) + (c.text.empty() ? "" : " \"" + c.text + "\"");
}

TEST(ProgramTemplates, ParseWithoutErrorAndHoldTheEighteenTemplates) {
    ASSERT_EQ(library().error(), "");
    std::set<int> ids;
    for (const auto& d : library().templates())
        ids.insert(d.id);
    const std::set<int> expected = {101, 102, 103, 104, 105, 106, 107, 108, 109,
                                    110, 111, 112, 140, 141, 177, 178, 186, 187};
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(library().templates().size(), expected.size());
    EXPECT_EQ(library().find(999), nullptr);
}

class DialogTemplates : public testing::TestWithParam<ExpectedDialog> {
  protected:
    const DialogTemplate& landscape() const { return *library().find(GetParam().landscape); }
    const DialogTemplate& portrait() const { return *library().find(GetParam().portrait); }
    void SetUp() override {
        ASSERT_NE(library().find(GetParam().landscape), nullptr);
        ASSERT_NE(library().find(GetParam().portrait), nullptr);
    }
};

TEST_P(DialogTemplates, BelongToOnePairOfTheOrientationRule) {
    const ExpectedDialog& want = GetParam();
    EXPECT_EQ(templateFor(want.landscape, 320, 240), want.landscape);
    EXPECT_EQ(templateFor(want.landscape, 240, 320), want.portrait);
}

TEST_P(DialogTemplates, CarryTheDialogTitleInBothOrientations) {
    EXPECT_EQ(landscape().caption, GetParam().caption);
    EXPECT_EQ(portrait().caption, GetParam().caption);
}

TEST_P(DialogTemplates, HoldEveryControlOfTheDialogAndNoOther) {
    const ExpectedDialog& want = GetParam();
    for (const DialogTemplate* dialog : {&landscape(), &portrait()}) {
        const bool isPortrait = dialog->id == want.portrait;
        SCOPED_TRACE("template " + std::to_string(dialog->id));
        for (const Expected& e : want.controls) {
            SCOPED_TRACE("control " + std::to_string(e.id));
            const ControlTemplate* c = findControl(*dialog, e);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->kind, e.kind);
            if (e.landscapeText) {
                const char* want = isPortrait && e.portraitText ? e.portraitText : e.landscapeText;
                EXPECT_EQ(c->text, want);
            } else {
                EXPECT_EQ(c->text, "");
            }
            EXPECT_EQ(c->bitmap, e.bitmap);
            EXPECT_EQ(c->style & kExactStyles, e.style & kExactStyles);
            EXPECT_EQ(c->style & e.style, e.style);
        }
        EXPECT_EQ(dialog->controls.size(), want.controls.size());
    }
}

TEST_P(DialogTemplates, PairHoldsTheSameControlsWithTheSameStyles) {
    auto key = [](const DialogTemplate& d) {
        std::set<std::tuple<int, ControlKind, int, std::uint32_t>> controls;
        for (const auto& c : d.controls)
            controls.insert({c.id, c.kind, c.bitmap, c.style});
        return controls;
    };
    EXPECT_EQ(key(landscape()), key(portrait()));
}

TEST_P(DialogTemplates, HaveAtMostOneControlWithoutId) {
    // The re-layout counts a template with two id-less controls as failed.
    for (const DialogTemplate* dialog : {&landscape(), &portrait()}) {
        const auto unnamed = std::count_if(dialog->controls.begin(), dialog->controls.end(),
                                           [](const ControlTemplate& c) { return c.id == -1; });
        EXPECT_LE(unnamed, 1) << "template " << dialog->id;
    }
}

TEST_P(DialogTemplates, FillTheClientAreaOfTheirOrientation) {
    for (const DialogTemplate* dialog : {&landscape(), &portrait()}) {
        const bool isPortrait = dialog->id == GetParam().portrait;
        const Rect area{0, 0, isPortrait ? kPortraitW : kLandscapeW,
                        isPortrait ? kPortraitH : kLandscapeH};
        EXPECT_EQ(dialog->rect.w, area.w) << dialog->id;
        EXPECT_EQ(dialog->rect.h, area.h) << dialog->id;
        for (const auto& c : dialog->controls)
            EXPECT_TRUE(inside(c.rect, area))
                << "template " << dialog->id << ": control " << describe(c) << " sticks out";
    }
}

TEST_P(DialogTemplates, ControlsDoNotCoverEachOtherExceptThoseSharingAPlace) {
    const ExpectedDialog& want = GetParam();
    auto group = [&](int id) -> const std::set<int>* {
        for (const auto& g : want.samePlace)
            if (g.count(id)) return &g;
        return nullptr;
    };
    for (const DialogTemplate* dialog : {&landscape(), &portrait()}) {
        const auto& controls = dialog->controls;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                const ControlTemplate& a = controls[i];
                const ControlTemplate& b = controls[j];
                const std::set<int>* g = group(a.id);
                if (g && g->count(b.id)) {
                    EXPECT_TRUE(sameRect(a.rect, b.rect))
                        << "template " << dialog->id << ": " << describe(a) << " and "
                        << describe(b) << " should share one place";
                    continue;
                }
                if (!overlap(a.rect, b.rect)) continue;
                // A group box frames the controls that lie wholly inside it.
                const bool framed = (a.kind == ControlKind::GroupBox && inside(b.rect, a.rect)) ||
                                    (b.kind == ControlKind::GroupBox && inside(a.rect, b.rect));
                EXPECT_TRUE(framed) << "template " << dialog->id << ": " << describe(a)
                                    << " overlaps " << describe(b);
            }
        }
    }
}

TEST_P(DialogTemplates, TextsFitTheirControls) {
    const ExpectedDialog& want = GetParam();
    for (const DialogTemplate* dialog : {&landscape(), &portrait()}) {
        for (const auto& c : dialog->controls) {
            if (c.kind == ControlKind::Edit || c.kind == ControlKind::Bitmap) continue;
            std::vector<std::string> texts = {c.text};
            for (const auto& [id, runtime] : want.runtimeTexts)
                if (id == c.id) texts.insert(texts.end(), runtime.begin(), runtime.end());
            for (const auto& t : texts) {
                EXPECT_GE(c.rect.w, unitsFor(c.kind, t))
                    << "template " << dialog->id << ": control " << c.id << " too narrow for \""
                    << t << "\"";
            }
            if (c.kind == ControlKind::Label || c.kind == ControlKind::PushButton ||
                c.kind == ControlKind::CheckBox) {
                EXPECT_GE(c.rect.h * 3, 20) << "template " << dialog->id << ": control " << c.id
                                            << " lower than a line of text";
            }
        }
    }
}

TEST_P(DialogTemplates, PicturesAreCompiledIntoTheProgram) {
    for (const DialogTemplate* dialog : {&landscape(), &portrait()}) {
        for (const auto& c : dialog->controls) {
            if (c.kind != ControlKind::Bitmap) continue;
            const std::string svg = resourceBytes(":/bitmaps/" + std::to_string(c.bitmap) + ".svg");
            EXPECT_NE(svg.find("<svg"), std::string::npos)
                << "template " << dialog->id << ": bitmap " << c.bitmap << " missing";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogTemplates, testing::ValuesIn(expectedDialogs()),
                         [](const testing::TestParamInfo<ExpectedDialog>& info) {
                             return std::string(info.param.name);
                         });

TEST(TemplateLibrary, BadTextGivesAnEmptyLibraryAndTheReason) {
    TemplateLibrary bad("5 DIALOG 0, 0, 9, 9\nBEGIN\nLTEXT \"a\", 1, 0, 0, 9\nEND\n");
    EXPECT_TRUE(bad.templates().empty());
    EXPECT_EQ(bad.find(5), nullptr);
    EXPECT_EQ(bad.error().rfind("line 3: ", 0), 0u) << bad.error();

    TemplateLibrary good("5 DIALOG 0, 0, 9, 9\nBEGIN\nEND\n6 DIALOG 0, 0, 9, 9\nBEGIN\nEND\n");
    EXPECT_EQ(good.error(), "");
    ASSERT_NE(good.find(6), nullptr);
    EXPECT_EQ(good.find(6)->id, 6);
}

struct OrientationCase {
    int landscapeId, width, height, expected;
};

void PrintTo(const OrientationCase& c, std::ostream* os) {
    *os << c.landscapeId << " on " << c.width << "x" << c.height;
}

class OrientationRule : public testing::TestWithParam<OrientationCase> {};

TEST_P(OrientationRule, PicksPortraitOnlyWhenTallerThanWide) {
    const auto& c = GetParam();
    EXPECT_EQ(templateFor(c.landscapeId, c.width, c.height), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, OrientationRule,
    testing::Values(OrientationCase{103, 240, 320, 102}, OrientationCase{103, 320, 240, 103},
                    OrientationCase{103, 300, 300, 103}, // square counts as landscape
                    OrientationCase{103, 300, 301, 102}, OrientationCase{101, 240, 320, 104},
                    OrientationCase{110, 240, 320, 109}, OrientationCase{141, 240, 320, 140},
                    OrientationCase{141, 640, 480, 141}, OrientationCase{178, 480, 640, 177},
                    OrientationCase{186, 240, 320, 187},
                    OrientationCase{102, 240, 320, 0},   // a portrait id names no dialog
                    OrientationCase{999, 320, 240, 0})); // nor does an unknown one

TEST(TemplatePairs, NameEveryProgramTemplateOnce) {
    std::multiset<int> named;
    for (const auto& pair : templatePairs()) {
        named.insert(pair.landscape);
        named.insert(pair.portrait);
    }
    std::multiset<int> parsed;
    for (const auto& d : library().templates())
        parsed.insert(d.id);
    EXPECT_EQ(named, parsed);
}

} // namespace
} // namespace tessadorn
