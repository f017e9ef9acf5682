#pragma once

#include <string>
#include <string_view>

namespace tessadorn {

// What the main dialog's status display needs from its controls: a text, a visibility and a
// check mark per control id. Texts are UTF-8. Safe to call from any thread.
class PanelControls {
  public:
    virtual ~PanelControls() = default;
    virtual void setText(int id, std::string_view utf8) = 0;
    virtual void setVisible(int id, bool visible) = 0;
    virtual void setChecked(int id, bool checked) = 0;
};

// Control ids of the main dialog.
namespace ids {
constexpr int Logo = 1072;
constexpr int Status = 200;
constexpr int Frame1 = 1111, Frame2 = 1110, Frame3 = 1109, Frame4 = 1108, Frame5 = 1107;
constexpr int PanelGroup = 1009;
constexpr int Line0 = 1086; // serial number (client) or model (server)
constexpr int Line1 = 1034;
constexpr int Line2 = 1035;
constexpr int Line3 = 1093;
constexpr int ServerState = 1125;
constexpr int AutoConnect = 1087;
constexpr int ApnInfo = 1073;
constexpr int Firmware = 1124;
constexpr int SignalFirst = 1066; // 1066..1071: levels -1..4
constexpr int SignalLast = 1071;
constexpr int RoleClient = 1063;
constexpr int RoleServer = 1064;
constexpr int Caster = 1094;
constexpr int Relay = 1130;
constexpr int Apn = 1095;
constexpr int ToClient = 1096;
constexpr int ToServer = 1100;
constexpr int Gps = 1097;
constexpr int Connect = 1098;
constexpr int Disconnect = 1099;
constexpr int Update = 1123;
constexpr int GreyApn = 1101, GreyMode = 1102, GreyGps = 1103, GreyConnect = 1104;
constexpr int TextCaster = 1000, TextApn = 1074, TextGps = 1083, TextServer = 1059,
              TextClient = 1060, TextConnect = 1001, TextUpdate = 1113;
constexpr int Mode = 1050, Model = 1046, Ip = 1049;
} // namespace ids

} // namespace tessadorn
