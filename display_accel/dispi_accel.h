// The accelerator back end of the DISPI card: drawing in software into the framebuffer,
// behind Palisade's own capability and hardware-cursor registers (10h-18h at the DISPI ports).
#pragma once

#include <memory>

#include "display/accel_backend.h"

namespace display {

// The back end when the card answers a DISPI ID and its capability register offers an
// accelerator; null otherwise.
std::unique_ptr<AccelBackend> probeDispiAccel(HardwareBus& bus);

}  // namespace display
