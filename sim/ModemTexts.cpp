#include "ModemTexts.h"

namespace tessadorn::sim::texts {

std::string_view relayHost() {
    return TESSADORN_RELAY_HOST;
}

} // namespace tessadorn::sim::texts
