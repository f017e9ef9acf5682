#pragma once

#include "modem/DeviceConfig.h"
#include "modem/SourceRow.h"

#include <string>

namespace tessadorn {

// What connecting to a mountpoint needs from the modem, decided once for the window and the
// command line.

// True when the modem reports where the position it sends a caster comes from: a manual
// position, or a receiver of a known make. None (nothing read yet) and a receiver of unknown
// make give none.
bool modemHasPositionSource(const DeviceConfig::Values& device);

// The question to ask ("Attention", Yes/No) before connecting to `row`: the row needs the
// receiver's position and the modem has no position source, so the caster would send nothing.
// Empty when there is nothing to ask.
std::string positionQuestion(const SourceRow& row, const DeviceConfig::Values& device);

} // namespace tessadorn
