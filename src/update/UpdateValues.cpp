#include "update/UpdateValues.h"

#include "update/UpdateControls.h"

namespace tessadorn {

caster_list::TypedApn readUpdateEdits(const ControlModel& controls) {
    return {controls.readEdit(update_ids::Apn), controls.readEdit(update_ids::User),
            controls.readEdit(update_ids::Password)};
}

UpdateValues readUpdateValues(const ControlModel& controls,
                              const caster_list::ApnPrefill& prefill) {
    const caster_list::TypedApn typed = prefill.typed(readUpdateEdits(controls));
    return {typed.apn, typed.user, typed.password};
}

} // namespace tessadorn
