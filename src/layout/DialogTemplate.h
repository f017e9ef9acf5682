#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessadorn {

// A dialog template as parsed from src/resources/dialogs.rc: positions and sizes in dialog
// units, texts in UTF-8. One dialog has a landscape and a portrait template holding the same
// control ids.
enum class ControlKind {
    Label,      // static text (LTEXT, CTEXT, RTEXT)
    PushButton, // PUSHBUTTON, DEFPUSHBUTTON
    CheckBox,   // AUTOCHECKBOX
    Edit,       // EDITTEXT
    ListBox,    // LISTBOX
    ComboBox,   // COMBOBOX
    Bitmap,     // static bitmap (may report clicks: a picture button)
    Progress,   // progress bar
    GroupBox,   // GROUPBOX
};

enum ControlStyle : std::uint32_t {
    StyleHidden = 1u << 0,       // not visible at start
    StyleDisabled = 1u << 1,     // disabled at start
    StylePassword = 1u << 2,     // edit shows bullets
    StyleDigitsOnly = 1u << 3,   // edit takes digits only
    StyleReadOnly = 1u << 4,     // edit cannot be typed into
    StyleMultiLine = 1u << 5,    // edit of several lines
    StyleNotSorted = 1u << 6,    // list keeps insertion order
    StyleDropDownList = 1u << 7, // combo without an edit field
    StyleDropDownEdit = 1u << 8, // combo with an editable text field
    StyleNotify = 1u << 9,       // bitmap reports clicks (picture button)
    StyleCenter = 1u << 10,      // text centred
    StyleRight = 1u << 11,       // text right-aligned
    StyleBorder = 1u << 12,
    StyleVScroll = 1u << 13,
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0; // dialog units
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    std::uint32_t style = 0;
    std::string text; // UTF-8; empty for bitmaps
    int bitmap = 0;   // bitmap resource number for ControlKind::Bitmap
    Rect rect;
};

struct DialogTemplate {
    int id = 0;
    std::string caption; // UTF-8
    Rect rect;
    std::vector<ControlTemplate> controls;

    const ControlTemplate* control(int controlId) const {
        for (const auto& c : controls)
            if (c.id == controlId) return &c;
        return nullptr;
    }
};

} // namespace tessadorn
