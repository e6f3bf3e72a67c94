// Writes a driver image for an analysed card: the assembled image with the generator's
// header fields and strings filled in.
#pragma once

#include <cstdint>
#include <vector>

#include "kestrel/card.h"

namespace kestrel {

// The chip a driver for this analysis drives: its hardware code when it names a chip this
// driver has a back end for and the family found agrees (KSCONFIG.DAT may have been edited),
// otherwise HARDWARE_NONE.
uint16_t drivenChip(const CardAnalysis& card);

// That chip's image, or with HARDWARE_NONE the DISPI image, which then drives nothing.
std::vector<uint8_t> buildDriver(const CardAnalysis& card);

}  // namespace kestrel
