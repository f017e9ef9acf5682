#include "update/UpdateValues.h"

#include "update/UpdateControls.h"

namespace tessadorn {

UpdateValues readUpdateValues(const ControlModel& controls) {
    return {controls.readEdit(update_ids::Apn), controls.readEdit(update_ids::User),
            controls.readEdit(update_ids::Password)};
}

} // namespace tessadorn
