// The video memory the program means: a copy the display library keeps of every byte it and
// the accelerator driver write, at the offset the program meant it for, whatever window, bank
// or plane the card put it in. With the meant screen (reference.h) it is the picture a correct
// card would show. Kept only once asked for (a verdict wants it): otherwise there is no copy
// and each record below is a test of a null pointer.
#pragma once

#include <cstdint>

namespace display {

void keepMeantMemory(bool keep);

// The copy, null when none is kept. Packed modes: byte o of video memory at o. 4-bit modes:
// the byte of plane p at plane address a at 4a + p.
uint8_t* meantMemory();
uint64_t meantMemoryBytes();

// A mode set: `bytes` of video memory, cleared (the library never asks the BIOS to keep it).
void meanClearedMemory(uint64_t bytes);
// A packed pixel of `bytes` bytes, lowest byte first, at `offset`.
void meanPackedPixel(uint64_t offset, uint32_t color, int bytes);
// VGA write mode 2 into all four planes at plane address `address`: the pixels `mask` selects
// (bit 7 leftmost) take the colour, the others keep theirs.
void meanPlanarPixels(uint64_t address, uint8_t mask, uint8_t color);

}  // namespace display
