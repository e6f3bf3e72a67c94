// The standard VGA default palette and the scaling of 8-bit intensities to the DAC width.
#pragma once

#include <cstdint>

#include "platform/display.h"

namespace display {

// The 256 colours a VGA BIOS loads on a mode set, in 8-bit intensities: the 16 EGA colours,
// 16 greys, nine 24-hue circles (three intensities, three saturations) and 8 blacks.
const PaletteEntry* defaultPalette();

// An 8-bit intensity as a DAC of `dacBits` bits per primary takes it (the top bits).
inline uint8_t scaleToDac(uint8_t value, int dacBits)
{
    return dacBits >= 8 ? value : uint8_t(value >> (8 - dacBits));
}

// The palette entry nearest to (red, green, blue) among the first `count` default colours.
uint32_t nearestDefaultColor(int red, int green, int blue, int count);

}  // namespace display
