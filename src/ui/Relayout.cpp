#include "ui/Relayout.h"

namespace tessadorn {

namespace {

int toPixels(int units) {
    // 1.5 px per unit, halves rounded away from zero.
    const int twice = units * 3;
    return twice >= 0 ? (twice + 1) / 2 : -((-twice + 1) / 2);
}

} // namespace

PixelRect dialogUnitsToPixels(const Rect& units) {
    return {toPixels(units.x), toPixels(units.y), toPixels(units.w), toPixels(units.h)};
}

int relayout(RelayoutTarget& dialog, const DialogTemplate& tpl) {
    std::vector<RelayoutTarget::Move> moves;
    bool allFound = true;
    int withoutId = 0;
    for (const auto& c : tpl.controls) {
        if (c.id == -1) ++withoutId;
        if (!dialog.hasControl(c.id)) {
            allFound = false;
            continue;
        }
        moves.push_back({c.id, dialogUnitsToPixels(c.rect)});
    }
    dialog.moveControls(moves);

    for (const auto& c : tpl.controls) {
        if (!dialog.hasControl(c.id)) continue;
        switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::GroupBox:
            dialog.setControlText(c.id, c.text);
            break;
        case ControlKind::Bitmap:
            dialog.setControlBitmap(c.id, c.bitmap);
            break;
        case ControlKind::ListBox:
        case ControlKind::ComboBox:
            dialog.reselect(c.id);
            break;
        case ControlKind::Edit:
        case ControlKind::Progress:
            break;
        }
    }
    return allFound && withoutId <= 1 ? 1 : 0;
}

} // namespace tessadorn
