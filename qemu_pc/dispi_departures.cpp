// QEMU's VGA departures from the DISPI card, from its registers.
#include "qemu_pc/dispi_departures.h"

namespace qemu_pc {

// Measured on QEMU 7.2 (640x480, 8 bits, 8192 bytes a line): an x offset of 497 showed memory
// from pixel 496 on, one pixel left of the picture asked for.
std::string dispiStartDeparture(uint32_t xOffset, uint32_t bitsPerPixel)
{
    if (bitsPerPixel < 8 || bitsPerPixel % 8 != 0)
        return {};
    const uint32_t bytesPerPixel = bitsPerPixel / 8;
    const uint32_t startByte = xOffset * bytesPerPixel;
    if (startByte % 4 == 0)
        return {};
    const uint32_t shownFrom = (startByte & ~3u) / bytesPerPixel;
    return "QEMU's VGA departs from the DISPI card here: it starts the display at a multiple of 4 bytes, so "
           "the x offset " +
           std::to_string(xOffset) + " at " + std::to_string(bitsPerPixel) + " bits shows from pixel " +
           std::to_string(shownFrom);
}

}  // namespace qemu_pc
