// Where QEMU's VGA is known to depart from the DISPI card it models, read from the card's state
// as it is shown: named in words, so that a screen that differs can say it shows QEMU's card
// rather than a fault.
#pragma once

#include <cstdint>
#include <string>

namespace qemu_pc {

// The display start's x offset: QEMU starts the display at a multiple of 4 bytes, so an x offset
// that is not one shows from the pixel before. Empty where the offset is shown as asked.
std::string dispiStartDeparture(uint32_t xOffset, uint32_t bitsPerPixel);

}  // namespace qemu_pc
