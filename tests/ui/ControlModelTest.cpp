#include "TestTemplates.h"

#include "ui/ControlModel.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>

namespace tessadorn {
namespace {

using namespace tessadorn::test;

struct StartCase {
    int id;
    ControlKind kind;
    const char* text;
    bool visible;
    bool enabled;
    int bitmap;
    PixelRect rect;
};

void PrintTo(const StartCase& c, std::ostream* os) {
    *os << "control " << c.id;
}

class ControlStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(ControlStartTest, ControlStartsAsItsTemplateSays) {
    const StartCase& c = GetParam();
    ControlModel model(landscapeTemplate());
    const auto state = model.state(c.id);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->kind, c.kind);
    EXPECT_EQ(state->text, c.text);
    EXPECT_EQ(state->visible, c.visible);
    EXPECT_EQ(state->enabled, c.enabled);
    EXPECT_EQ(state->bitmap, c.bitmap);
    EXPECT_EQ(state->rect, c.rect);
    EXPECT_FALSE(state->checked);
    EXPECT_EQ(state->selection, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Landscape, ControlStartTest,
    ::testing::Values(
        // 1 unit = 1.5 px, halves rounded up: 4,4,40,14 -> 6,6,60,21
        StartCase{kButton, ControlKind::PushButton, "Caster", true, true, 0, {6, 6, 60, 21}},
        StartCase{
            kHiddenButton, ControlKind::PushButton, "Hidden", false, true, 0, {75, 6, 60, 21}},
        StartCase{
            kDisabledButton, ControlKind::PushButton, "Off", true, false, 0, {144, 6, 60, 21}},
        StartCase{kLabel, ControlKind::Label, "Connecting ...", true, true, 0, {15, 180, 210, 15}},
        StartCase{kPicture, ControlKind::Bitmap, "", true, true, 158, {15, 15, 38, 24}},
        StartCase{kProgress, ControlKind::Progress, "", true, true, 0, {6, 150, 225, 12}},
        StartCase{kGroup,
                  ControlKind::GroupBox,
                  "Current Configuration : ",
                  true,
                  true,
                  0,
                  {3, 3, 225, 120}}));

TEST(ControlModelTest, TitleAndControlOrderComeFromTheTemplate) {
    ControlModel model(landscapeTemplate());
    EXPECT_EQ(model.title(), "Landscape Title");
    EXPECT_TRUE(model.titleOkVisible());
    const auto ids = model.ids();
    ASSERT_EQ(ids.size(), landscapeTemplate().controls.size());
    EXPECT_EQ(ids.front(), kButton);
    EXPECT_EQ(ids.back(), kOnlyLandscape);
}

TEST(ControlModelTest, UnknownControlsReadEmptyAndIgnoreWrites) {
    ControlModel model(landscapeTemplate());
    model.setText(4242, "x");
    model.setVisible(4242, true);
    EXPECT_FALSE(model.has(4242));
    EXPECT_EQ(model.text(4242), "");
    EXPECT_FALSE(model.visible(4242));
    EXPECT_EQ(model.selection(4242), -1);
    EXPECT_EQ(model.addItem(4242, "row"), -1);
}

TEST(ControlModelTest, EditReadIsLimitedTo48CharactersInTheDeviceCodePage) {
    struct Case {
        std::string typed;
        std::string read;
    };
    const std::string fifty(50, 'a');
    const Case cases[] = {
        {"", ""},
        {"internet.movistar.es", "internet.movistar.es"},
        {fifty, std::string(48, 'a')},
        // é and € are one character each, one byte each in the code page
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
        {std::string(47, 'b') + "\xC3\xA9\xC3\xA9", std::string(47, 'b') + "\xE9"},
        // a character the code page has not becomes '?'
        {"\xE6\x97\xA5x", "?x"},
    };
    ControlModel model(landscapeTemplate());
    for (const auto& c : cases) {
        model.setText(kEdit, c.typed);
        EXPECT_EQ(model.readEdit(kEdit), c.read) << c.typed;
        EXPECT_EQ(model.text(kEdit), c.typed) << "the control keeps what was typed";
    }
}

TEST(ControlModelTest, DeviceTextsAreConvertedForDisplay) {
    ControlModel model(landscapeTemplate());
    model.setDeviceText(kLabel, "Autorizaci\xF3n");
    EXPECT_EQ(model.text(kLabel), "Autorizaci\xC3\xB3n");
}

TEST(ControlModelTest, ListRowsAndSelection) {
    ControlModel model(landscapeTemplate());
    EXPECT_EQ(model.addItem(kList, "MOUNT1"), 0);
    EXPECT_EQ(model.addItem(kList, "MOUNT2"), 1);
    EXPECT_EQ(model.addItem(kList, "MOUNT3"), 2);
    EXPECT_TRUE(model.setSelection(kList, 2));
    model.deleteItem(kList, 0); // a row above the selection: the selection follows its row
    EXPECT_EQ(model.selection(kList), 1);
    EXPECT_EQ(model.itemText(kList, 1), "MOUNT3");
    model.deleteItem(kList, 1); // the selected row: nothing selected
    EXPECT_EQ(model.selection(kList), -1);
    EXPECT_FALSE(model.setSelection(kList, 5));
    EXPECT_EQ(model.selection(kList), -1);
    EXPECT_EQ(model.itemText(kList, 5), "");
    model.clearItems(kList);
    EXPECT_EQ(model.itemCount(kList), 0);
}

TEST(ControlModelTest, ComboSelectionFillsItsEditField) {
    ControlModel model(landscapeTemplate());
    for (const char* row : {"NTRIP 1.0", "NTRIP 2.0", "IBSS"})
        model.addItem(kCombo, row);
    model.setSelection(kCombo, 2);
    EXPECT_EQ(model.text(kCombo), "IBSS");
    EXPECT_EQ(model.selection(kCombo), 2);
}

TEST(ControlModelTest, ProgressStepsAndStartsOverPastTheTop) {
    ControlModel model(landscapeTemplate());
    model.setRange(kProgress, 0, 6);
    model.setStep(kProgress, 1);
    model.setPosition(kProgress, 0);
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        model.stepIt(kProgress);
        seen.push_back(model.position(kProgress));
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 1, 2}));
    model.setPosition(kProgress, 99);
    EXPECT_EQ(model.position(kProgress), 6) << "a position is kept inside the range";
}

TEST(ControlModelTest, ObserversHearChangedIdsOnlyAndCanBeRemoved) {
    ControlModel model(landscapeTemplate());
    std::vector<int> heard;
    const int token = model.addObserver([&heard](int id) { heard.push_back(id); });
    model.setText(kLabel, "Connecting at 9600...");
    model.setText(kLabel, "Connecting at 9600..."); // no change, no notice
    model.setVisible(kButton, false);
    model.setTitleOkVisible(false);
    model.setText(4242, "nobody");
    model.removeObserver(token);
    model.setText(kLabel, "after");
    EXPECT_EQ(heard, (std::vector<int>{kLabel, kButton, ControlModel::kDialogItem}));
}

} // namespace
} // namespace tessadorn
