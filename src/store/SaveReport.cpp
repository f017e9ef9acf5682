#include "store/SaveReport.h"

namespace tessadorn {

std::string saveFailureText(std::string_view reason) {
    return "The caster list could not be saved: " + std::string(reason);
}

std::string conflictReport(CasterStore& store) {
    std::string text;
    for (const CasterConflict& c : store.takeConflicts())
        text += (text.empty() ? "" : "\n") + c.message();
    return text;
}

bool saveCasterList(CasterStore& store, std::string& failure) {
    std::string reason;
    if (store.Save(reason)) {
        failure.clear();
        return true;
    }
    failure = saveFailureText(reason);
    return false;
}

} // namespace tessadorn
