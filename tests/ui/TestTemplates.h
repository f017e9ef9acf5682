#pragma once

#include "ui/TemplateSource.h"

namespace tessadorn::test {

// A small dialog pair built by hand: 301 landscape, 302 portrait is not a known pair, so the
// tests use the main dialog's numbers 103 (landscape) and 102 (portrait).
inline ControlTemplate control(int id, ControlKind kind, std::string text, Rect r,
                               std::uint32_t style = 0, int bitmap = 0) {
    ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.text = std::move(text);
    c.rect = r;
    c.style = style;
    c.bitmap = bitmap;
    return c;
}

enum Ids {
    kButton = 1000,
    kHiddenButton = 1001,
    kDisabledButton = 1002,
    kLabel = 200,
    kCheck = 1087,
    kEdit = 1011,
    kDigits = 1013,
    kReadOnly = 1014,
    kList = 1039,
    kCombo = 1137,
    kPicture = 1094,
    kPlainPicture = 1072,
    kProgress = 1025,
    kGroup = 1009,
    kOnlyLandscape = 1500,
};

inline DialogTemplate landscapeTemplate() {
    DialogTemplate t;
    t.id = 103;
    t.caption = "Landscape Title";
    t.rect = {0, 0, 213, 142};
    t.controls = {
        control(kButton, ControlKind::PushButton, "Caster", {4, 4, 40, 14}),
        control(kHiddenButton, ControlKind::PushButton, "Hidden", {50, 4, 40, 14}, StyleHidden),
        control(kDisabledButton, ControlKind::PushButton, "Off", {96, 4, 40, 14}, StyleDisabled),
        control(kLabel, ControlKind::Label, "Connecting ...", {10, 120, 140, 10}),
        control(kCheck, ControlKind::CheckBox, "Automatic Connection", {4, 90, 100, 10}),
        control(kEdit, ControlKind::Edit, "", {60, 10, 90, 12}),
        control(kDigits, ControlKind::Edit, "", {60, 24, 90, 12}, StyleDigitsOnly),
        control(kReadOnly, ControlKind::Edit, "", {60, 38, 90, 12}, StyleReadOnly),
        control(kList, ControlKind::ListBox, "", {4, 20, 150, 80}, StyleNotSorted | StyleVScroll),
        control(kCombo, ControlKind::ComboBox, "", {60, 70, 90, 60}, StyleDropDownEdit),
        control(kPicture, ControlKind::Bitmap, "", {10, 10, 25, 16}, StyleNotify, 158),
        control(kPlainPicture, ControlKind::Bitmap, "", {10, 30, 100, 20}, 0, 157),
        control(kProgress, ControlKind::Progress, "", {4, 100, 150, 8}, StyleBorder),
        control(kGroup, ControlKind::GroupBox, "Current Configuration : ", {2, 2, 150, 80}),
        control(kOnlyLandscape, ControlKind::Label, "Landscape only", {160, 130, 40, 8}),
    };
    return t;
}

// The same controls at other places with other texts, except kOnlyLandscape.
inline DialogTemplate portraitTemplate() {
    DialogTemplate t;
    t.id = 102;
    t.caption = "Portrait Title";
    t.rect = {0, 0, 160, 196};
    t.controls = {
        control(kButton, ControlKind::PushButton, "Servidor", {4, 180, 40, 14}),
        control(kHiddenButton, ControlKind::PushButton, "Hidden P", {50, 180, 40, 14}, StyleHidden),
        control(kDisabledButton, ControlKind::PushButton, "Off P", {96, 180, 40, 14},
                StyleDisabled),
        control(kLabel, ControlKind::Label, "Conectando ...", {10, 160, 140, 10}),
        control(kCheck, ControlKind::CheckBox, "Conexión automática", {4, 150, 100, 10}),
        control(kEdit, ControlKind::Edit, "template text", {20, 10, 90, 12}),
        control(kDigits, ControlKind::Edit, "", {20, 24, 90, 12}, StyleDigitsOnly),
        control(kReadOnly, ControlKind::Edit, "", {20, 38, 90, 12}, StyleReadOnly),
        control(kList, ControlKind::ListBox, "", {4, 60, 150, 60}, StyleNotSorted),
        control(kCombo, ControlKind::ComboBox, "", {20, 124, 90, 60}, StyleDropDownEdit),
        control(kPicture, ControlKind::Bitmap, "", {110, 10, 25, 16}, StyleNotify, 188),
        control(kPlainPicture, ControlKind::Bitmap, "", {10, 40, 100, 20}, 0, 157),
        control(kProgress, ControlKind::Progress, "", {4, 140, 150, 8}, StyleBorder),
        control(kGroup, ControlKind::GroupBox, "Configuración : ", {2, 2, 156, 120}),
    };
    return t;
}

inline TemplateSet testTemplates() {
    TemplateSet set;
    set.add(landscapeTemplate());
    set.add(portraitTemplate());
    DialogTemplate child;
    child.id = 111; // a dialog opened from the first one
    child.caption = "APN Configuration";
    child.rect = {0, 0, 213, 142};
    child.controls = {control(kButton, ControlKind::PushButton, "Cancel", {4, 4, 40, 14}),
                      control(kEdit, ControlKind::Edit, "", {60, 10, 90, 12})};
    set.add(child);
    return set;
}

} // namespace tessadorn::test
