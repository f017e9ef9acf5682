#pragma once

#include "layout/DialogTemplate.h"
#include "ui/ControlState.h"

#include <string>
#include <vector>

namespace tessadorn {

// What the re-layout step needs from a live dialog.
class RelayoutTarget {
  public:
    struct Move {
        int id = 0;
        PixelRect rect;
    };

    virtual ~RelayoutTarget() = default;
    virtual bool hasControl(int id) const = 0;
    // Moves and resizes all these controls at once; the stacking order stays.
    virtual void moveControls(const std::vector<Move>& moves) = 0;
    virtual void setControlText(int id, const std::string& utf8) = 0;
    // Puts another picture into a bitmap label (the old one is let go).
    virtual void setControlBitmap(int id, int bitmap) = 0;
    // Selects again the row that is selected, so that it comes into view.
    virtual void reselect(int id) = 0;
};

// One dialog unit is one and a half pixels on both axes.
PixelRect dialogUnitsToPixels(const Rect& units);

// Applies a template to a live dialog: every control of the template that the dialog has moves
// to the template's place; buttons and labels get the template's text back, pictures their
// bitmap, lists and combos keep their selected row in view. Visibility, enabled state, check
// marks, edit texts and list rows stay as they are; controls the template does not name stay
// where they are. Returns 1 when every control of the template was found and at most one of
// them has no id (-1), else 0.
int relayout(RelayoutTarget& dialog, const DialogTemplate& tpl);

} // namespace tessadorn
