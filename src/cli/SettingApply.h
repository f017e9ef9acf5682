#pragma once

// One way to change each setting of the modem, for its verb and for profiles. Each change
// refuses (status 2, nothing sent) what the window's ready face does not offer the modem in its
// present state, with the reason; takes what the modem already has as done with nothing sent;
// and otherwise sends what the setting's dialog sends.

#include "cli/Commands.h"
#include "cli/Modem.h"
#include "modem/CasterAddress.h"
#include "modem/PositionSource.h"
#include "modem/SettingRules.h"
#include "store/CasterListEdits.h"
#include "store/CasterStore.h"

#include <optional>
#include <string>

namespace tessadorn::cli {

// The ready face's refusal of `setting` for the started modem: status 2 and the reason.
std::optional<Result> notOffered(Setting setting, ModemSession& session);

Result changeRole(ModemSession& session, bool base);
Result changeAutoConnect(ModemSession& session, bool on);
Result changeRelay(ModemSession& session, bool on);
// The list takes the APN before the modem is told (a failed save is said in the messages); the
// modem then restarts, and the caller finds it again.
Result changeApn(ModemSession& session, CasterStore& store, const caster_list::TypedApn& typed);
// The position source with its second value (the receiver's port or the modem's rate): the one
// given, else the one the GPS configuration starts with.
Result changePositionSource(ModemSession& session, PositionChoice chosen,
                            std::optional<int> second);
// The Connect control for a caster of the list (another Tessadorn directly, a caster through its
// source table, the mountpoint checked against it and the position question asked, or taken
// as answered with `yes`).
Result connectTo(Modem& modem, Environment& env, const CasterEntry& caster,
                 const CasterAddress& address, const std::string& mountpoint, bool yes);

} // namespace tessadorn::cli
