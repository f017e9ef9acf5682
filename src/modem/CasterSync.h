#pragma once

#include "modem/DeviceConfig.h"
#include "store/CasterDocument.h"
#include "store/CasterStore.h"

namespace tessadorn {

// Brings the caster list in line with what the modem holds. Each returns true when it changed
// the document, which the caller then saves.
namespace caster_sync {

// The modem's APN block, each value cut to the 49 bytes the file keeps, replaces the list's when
// any of the three differs; `carrier` becomes "yes" so that the block is written to the file.
bool syncApn(const DeviceConfig::Values& device, CasterDocument& doc);

// The caster stored in the modem becomes the current caster when an entry of the list matches
// it: a caster by host, port, user and password; a Tessadorn server by host and port.
bool matchStoredCaster(const DeviceConfig::Values& device, CasterDocument& doc);

// The same two under the store's lock, for the values the modem holds now: true when the list
// changed (the caller saves it, without the lock, and reports a failed save).
bool takeApn(const DeviceConfig::Values& device, CasterStore& store);
bool takeStoredCaster(const DeviceConfig::Values& device, CasterStore& store);

} // namespace caster_sync
} // namespace tessadorn
