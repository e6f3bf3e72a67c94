// The palette fade over the moire screen, and the 8-bit wide DAC bands.
#pragma once

#include "platform/display.h"

int paletteFadeTest(int fadeWait);
int wideDacTest(void);
// Each colour byte of destination[first + k] = source[k] * (level & 0xFF) / 255.
void scalePalette(PaletteEntry* destination, const PaletteEntry* source, int count, int first, int level);
