#include "TestTemplates.h"

#include "ScriptedHost.h"
#include "ui/Dialog.h"
#include "ui/Relayout.h"

#include <gtest/gtest.h>

namespace tessadorn {
namespace {

using namespace tessadorn::test;

TEST(RelayoutTest, DialogUnitsAreOneAndAHalfPixels) {
    struct Case {
        Rect units;
        PixelRect pixels;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
        {{2, 4, 6, 8}, {3, 6, 9, 12}},
        {{1, 3, 5, 7}, {2, 5, 8, 11}},                // halves round up
        {{213, 142, 160, 196}, {320, 213, 240, 294}}, // the client areas
        {{-1, -3, 1, 1}, {-2, -5, 2, 2}},             // and away from zero below it
    };
    for (const auto& c : cases)
        EXPECT_EQ(dialogUnitsToPixels(c.units), c.pixels);
}

// The dialog turned to portrait after the user and the program changed things.
class TurnTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.setScreenSize(320, 240);
        host.call([this](Dialog& d) {
            ControlModel& m = d.controls();
            for (const char* row : {"A", "B", "C", "D"})
                m.addItem(kList, row);
            m.setSelection(kList, 3);
            for (const char* row : {"NTRIP 1.0", "NTRIP 2.0", "IBSS"})
                m.addItem(kCombo, row);
            m.setSelection(kCombo, 1);
            m.setText(kButton, "Changed at run time");
            m.setText(kLabel, "Connecting at 57600...");
            m.setText(kEdit, "typed by the user");
            m.setChecked(kCheck, true);
            m.setVisible(kButton, false);
            m.setVisible(kHiddenButton, true);
            m.setEnabled(kDisabledButton, true);
            m.setBitmap(kPicture, 161);
            m.setTitle("Title set at run time");
            reselects = 0;
            m.addObserver([this](int id) {
                if (id == kList || id == kCombo) ++reselects;
            });
        });
        host.turn(240, 320);
        dialog.doModal();
    }

    TemplateSet templates = testTemplates();
    ScriptedHost host{templates};
    Dialog dialog{host, 103};
    int reselects = 0;
};

TEST_F(TurnTest, ControlsMoveToThePortraitPlaces) {
    const DialogTemplate portrait = portraitTemplate();
    for (const auto& c : portrait.controls)
        EXPECT_EQ(dialog.controls().rect(c.id), dialogUnitsToPixels(c.rect)) << c.id;
}

TEST_F(TurnTest, ButtonsAndLabelsGetTheTemplateTextsBack) {
    const ControlModel& m = dialog.controls();
    EXPECT_EQ(m.text(kButton), "Servidor");
    EXPECT_EQ(m.text(kLabel), "Conectando ...");
    EXPECT_EQ(m.text(kCheck), "Conexión automática");
    EXPECT_EQ(m.text(kGroup), "Configuración : ");
    EXPECT_EQ(m.bitmap(kPicture), 188) << "pictures are reloaded from the template";
}

TEST_F(TurnTest, EverythingElseStaysAsItWas) {
    const ControlModel& m = dialog.controls();
    EXPECT_EQ(m.selection(kList), 3);
    EXPECT_EQ(m.selection(kCombo), 1);
    EXPECT_EQ(m.itemCount(kList), 4);
    EXPECT_EQ(m.text(kEdit), "typed by the user");
    EXPECT_TRUE(m.checked(kCheck));
    EXPECT_FALSE(m.visible(kButton));
    EXPECT_TRUE(m.visible(kHiddenButton)) << "template styles do not come back";
    EXPECT_TRUE(m.enabled(kDisabledButton));
    EXPECT_EQ(m.title(), "Title set at run time");
    EXPECT_GE(reselects, 2) << "lists were told to bring their selection into view";
}

TEST_F(TurnTest, AControlTheTemplateDoesNotNameKeepsItsPlace) {
    const DialogTemplate landscape = landscapeTemplate();
    EXPECT_EQ(dialog.controls().rect(kOnlyLandscape),
              dialogUnitsToPixels(landscape.control(kOnlyLandscape)->rect));
    EXPECT_EQ(dialog.controls().text(kOnlyLandscape), "Landscape only");
}

TEST(RelayoutTest, TurningBackUsesTheLandscapeTemplateAndASquareIsLandscape) {
    TemplateSet templates = testTemplates();
    ScriptedHost host{templates};
    Dialog dialog(host, 103);
    host.setScreenSize(240, 320);
    host.call([](Dialog& d) { EXPECT_EQ(d.controls().text(kButton), "Servidor"); });
    host.turn(300, 300);
    dialog.doModal();
    EXPECT_EQ(dialog.controls().text(kButton), "Caster");
    EXPECT_EQ(dialog.controls().title(), "Landscape Title") << "the created title stays";
}

TEST(RelayoutTest, ResultTellsWhetherEveryTemplateControlWasPlaced) {
    struct Case {
        const char* what;
        std::vector<int> templateIds;
        int result;
    };
    const Case cases[] = {
        {"all found", {kButton, kLabel}, 1},
        {"one missing", {kButton, 4242}, 0},
        {"one without id", {kButton, -1}, 0}, // -1 is not a control of the dialog
        {"two without id", {-1, -1}, 0},
    };
    for (const auto& c : cases) {
        ControlModel model(landscapeTemplate());
        model.moveControls({{-1, {}}}); // the model has no -1 control: no effect
        DialogTemplate t;
        for (int id : c.templateIds)
            t.controls.push_back(control(id, ControlKind::Label, "x", {1, 1, 2, 2}));
        EXPECT_EQ(relayout(model, t), c.result) << c.what;
        if (c.templateIds.front() == kButton) {
            EXPECT_EQ(model.rect(kButton), (PixelRect{2, 2, 3, 3})) << "found ones are placed";
        }
    }
}

TEST(RelayoutTest, ALabelWithoutIdIsPlacedWhenTheDialogHasOne) {
    DialogTemplate withStatic;
    withStatic.controls = {control(-1, ControlKind::Label, "Name :", {0, 0, 10, 10}),
                           control(kButton, ControlKind::PushButton, "OK", {0, 0, 10, 10})};
    ControlModel model(withStatic);
    withStatic.controls[0].rect = {4, 4, 10, 10};
    EXPECT_EQ(relayout(model, withStatic), 1);
    EXPECT_EQ(model.rect(-1), (PixelRect{6, 6, 15, 15}));
    withStatic.controls.push_back(control(-1, ControlKind::Label, "Port :", {0, 0, 1, 1}));
    EXPECT_EQ(relayout(model, withStatic), 0) << "two controls without an id";
}

} // namespace
} // namespace tessadorn
