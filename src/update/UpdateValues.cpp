#include "update/UpdateValues.h"

#include "update/UpdateControls.h"

#include <string_view>

namespace tessadorn {

namespace {

std::string refusalFor(std::string_view field, std::string_view value) {
    for (char c : value) {
        if (c == '"') return "The " + std::string(field) + " must not contain the character \".";
        if (c == '\r' || c == '\n' || c == '\0')
            return "The " + std::string(field) + " must not contain a line break.";
    }
    return {};
}

} // namespace

UpdateValues UpdateValues::read(const ControlModel& controls) {
    return {controls.readEdit(update_ids::Apn), controls.readEdit(update_ids::User),
            controls.readEdit(update_ids::Password)};
}

std::string UpdateValues::refusal() const {
    for (const auto& [field, value] : {std::pair<std::string_view, std::string_view>{"APN", apn},
                                       {"User", user},
                                       {"Password", password}}) {
        if (auto why = refusalFor(field, value); !why.empty()) return why;
    }
    return {};
}

} // namespace tessadorn
