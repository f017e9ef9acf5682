#include "store/SaveReport.h"

#include "ui/MessageBoxRequest.h"

namespace tessadorn {

std::string saveFailureText(std::string_view reason) {
    return "The caster list could not be saved: " + std::string(reason);
}

bool saveCasterList(CasterStore& store, DialogHost& host) {
    std::string reason;
    if (store.Save(reason)) return true;
    MessageBoxRequest request;
    request.text = saveFailureText(reason);
    request.caption = "ERROR";
    request.buttons = MessageButtons::Ok;
    host.messageBox(request);
    return false;
}

} // namespace tessadorn
