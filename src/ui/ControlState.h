#pragma once

#include "layout/DialogTemplate.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessadorn {

// A rectangle in screen pixels, relative to the dialog's client area.
struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PixelRect&) const = default;
};

// Everything a control shows. Texts are UTF-8.
struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    std::uint32_t style = 0;
    std::string text; // label, button, check box and edit text; a combo's edit field
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    std::vector<std::string> items; // list box and combo box rows
    int selection = -1;             // selected row, -1 = none
    int bitmap = 0;                 // bitmap resource number of a picture
    int rangeMin = 0, rangeMax = 100, step = 10, position = 0; // progress bar
    PixelRect rect;

    bool hasStyle(std::uint32_t s) const { return (style & s) != 0; }
};

} // namespace tessadorn
