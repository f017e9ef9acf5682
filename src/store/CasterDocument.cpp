#include "store/CasterDocument.h"

namespace tessadorn {

void CasterDocument::reset() {
    count = 0;
    hasCurrent = false;
    server.clear();
    auth = "yes";
    user.clear();
    password.clear();
    carrier.clear();
    apn.clear();
    carrierUser.clear();
    carrierPassword.clear();
    AutoConnection.clear();
}

} // namespace tessadorn
