#pragma once

#include "platform/ProgramInfo.h"

#include <string>

namespace tessadorn {

// Results of a message box and of the system's cancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

enum class MessageButtons { Ok, YesNo };

struct MessageBoxRequest {
    std::string text;    // UTF-8
    std::string caption; // UTF-8, never empty once it reaches a host
    MessageButtons buttons = MessageButtons::Ok;
};

} // namespace tessadorn
