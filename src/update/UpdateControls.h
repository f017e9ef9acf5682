#pragma once

#include <array>

namespace tessadorn::update_ids {

// Control ids of the firmware update dialog.
constexpr int ApnLabel = 1017, UserLabel = 1018, PasswordLabel = 1019;
constexpr int Apn = 1011, User = 1012, Password = 1013;
constexpr int Start = 1114;
constexpr int Continue = 1115;
constexpr int Progress = 1025;
constexpr int Status = 1116;
constexpr int Accept = 1, Cancel = 2; // hidden for the life of the dialog

// The cable to RADIO ROVER: plugged in (1107) to furthest away (1111).
constexpr std::array<int, 5> kRoverFrames = {1107, 1108, 1109, 1110, 1111};
// The cable to BASE, never shown.
constexpr std::array<int, 5> kBaseFrames = {1117, 1118, 1119, 1120, 1121};

} // namespace tessadorn::update_ids
