#pragma once

#include "store/CasterStore.h"
#include "ui/DialogHost.h"

#include <string>
#include <string_view>

namespace tessadorn {

// Writes the caster list and tells the user when that failed: "The caster list could not be
// saved: <reason>" with the caption "ERROR" and an OK button. The store keeps its contents
// either way and the previous file stays as it was. Returns what Save returned.
//
// Any thread. Call it without holding the store's lock (Save takes it itself), so that the
// other threads are not held up while the message waits for the user.
bool saveCasterList(CasterStore& store, DialogHost& host);

// The text of that message for a reason.
std::string saveFailureText(std::string_view reason);

} // namespace tessadorn
