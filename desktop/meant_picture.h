// The picture a correct card would show for the screen the program means: the video memory it
// drew into, read in the mode, from the display start, with the line length, DAC width and
// palette it asked for, and its hardware cursor on top. In 4-bit modes colour p is palette
// entry p, whatever the card's attribute controller does on the way to the DAC.
#pragma once

#include <cstdint>

#include "desktop/canvas.h"
#include "display/reference.h"

namespace desktop {

void renderMeant(const display::MeantScreen& meant, const uint8_t* memory, uint32_t memoryBytes, Picture& picture);

// A DAC component of `bits` bits as the monitor shows it in 8 bits.
uint8_t dacLevel(uint8_t value, int32_t bits);

}  // namespace desktop
