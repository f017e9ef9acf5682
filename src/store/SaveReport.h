#pragma once

#include "store/CasterStore.h"

#include <string>
#include <string_view>

namespace tessadorn {

// The caption of the message that reports a failed save of the caster list.
inline constexpr std::string_view kSaveFailureCaption = "ERROR";

// Writes the caster list. Returns what Save returned; when it failed, `failure` is the message
// for the user ("The caster list could not be saved: <reason>"), which the dialog shows with
// kSaveFailureCaption and an OK button. The store keeps its contents either way and the
// previous file stays as it was.
//
// Any thread. Call it without holding the store's lock (Save takes it itself), so that the
// other threads are not held up while the message waits for the user.
bool saveCasterList(CasterStore& store, std::string& failure);

// The changes of this program that another program's changes to the same casters kept out of
// the list (CasterStore::takeConflicts), one line each, for a message box; empty when there were
// none. Each is reported once.
std::string conflictReport(CasterStore& store);

// The text of that message for a reason.
std::string saveFailureText(std::string_view reason);

} // namespace tessadorn
