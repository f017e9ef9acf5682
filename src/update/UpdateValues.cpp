#include "update/UpdateValues.h"

#include "store/FieldCheck.h"
#include "update/UpdateControls.h"

#include <string_view>

namespace tessadorn {

UpdateValues UpdateValues::read(const ControlModel& controls) {
    return {controls.readEdit(update_ids::Apn), controls.readEdit(update_ids::User),
            controls.readEdit(update_ids::Password)};
}

std::string UpdateValues::refusal() const {
    for (const auto& [field, value] : {std::pair<std::string_view, std::string_view>{"APN", apn},
                                       {"User", user},
                                       {"Password", password}}) {
        if (auto why = refusedValueMessage(field, value, FieldUse::Carrier); !why.empty())
            return why;
    }
    return {};
}

} // namespace tessadorn
