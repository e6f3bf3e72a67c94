// The monitor's view of the Cirrus card: VGA modes as the VGA core shows them, Cirrus modes
// (SR07 bit 0) as packed pixels from the CRTC and extension registers, through the same
// packed scan-out as every SuperVGA mode, and the hardware cursor over either.
#pragma once

#include "machine/cirrus_card.h"
#include "machine/machine.h"

namespace machine {

void scanOut(const CirrusCard& card, Picture& picture);

}  // namespace machine
