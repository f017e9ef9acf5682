#pragma once

#include "layout/DialogTemplate.h"

#include <string>
#include <string_view>
#include <vector>

namespace tessadorn {

// Reads the dialog template text (a subset of the resource-script DIALOG syntax):
//
//     103 DIALOG 0, 0, 213, 142
//     CAPTION "TESSADORN v3.0.3.3"
//     BEGIN
//         PUSHBUTTON   "Caster", 1000, 4, 4, 40, 14, NOT WS_VISIBLE
//         EDITTEXT     1011, 60, 10, 90, 12, ES_PASSWORD | ES_NUMBER
//         CONTROL      157, 1072, "Static", SS_BITMAP | SS_NOTIFY, 10, 10, 100, 20
//     END
//
// One statement per line; lines starting with "//" and blank lines are skipped. Returns the
// templates in file order. On bad input returns an empty list and, when `error` is given,
// writes "line N: what is wrong" into it (cleared on success).
std::vector<DialogTemplate> parseTemplates(std::string_view text, std::string* error);

} // namespace tessadorn
