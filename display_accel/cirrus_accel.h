// The accelerator back end of the Cirrus Logic GD5446: fills, patterns, colour expansion and
// copies on the chip's BitBLT engine, the cursor on the chip's own hardware cursor; lines,
// stippled lines and trapezoids in software, as the drivers of the time drew them.
#pragma once

#include <memory>

#include "display/accel_backend.h"

namespace display {

// The back end when the sequencer unlocks the Cirrus extensions and CR27 names a GD5446;
// null otherwise (the probe then leaves the unlock register as it found it).
std::unique_ptr<AccelBackend> probeCirrusAccel(HardwareBus& bus);

}  // namespace display
