#include "modem/MonitorObserver.h"

namespace tessadorn {

std::string_view lostReasonText(LostReason reason) {
    switch (reason) {
    case LostReason::PollsFailed:
        return "three polls failed";
    case LostReason::WentSilent:
        return "the modem went silent";
    case LostReason::PortGone:
        return "the port is gone";
    case LostReason::SentAway:
        return "the modem restarts in its new role";
    }
    return "";
}

} // namespace tessadorn
