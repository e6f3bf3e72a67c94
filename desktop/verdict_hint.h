// The first reason, in words, why the card's picture differs from the one the program meant:
// the card's state set against the program's requests, mode first, then line length, display
// start, DAC width and palette; failing all those, the video memory behind the first pixel that
// differs (the pixels landed elsewhere, or hold other bytes), else that pixel.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "display/reference.h"

namespace desktop {

// What the card shows, from its registers.
struct ShownScreen {
    bool graphics = false;   // false: a text mode
    bool screenOff = false;  // the card blanks the picture (sequencer or attribute controller)
    std::string blankedBy;   // which of them, by which bit
    int32_t width = 0, height = 0;
    int32_t depth = 0;          // bits per pixel
    uint32_t bytesPerLine = 0;  // per plane at 4 bits
    uint32_t startX = 0, startY = 0;
    int32_t dacBits = 6;
    std::array<uint8_t, 256 * 3> dac{};  // as the DAC holds them; at 4 bits, 0-15 are the colours
                                         // shown for pixel values 0-15
};

// The video memory behind a pixel: the card's set against the program's copy.
struct MemoryAtPixel {
    bool differs = false;  // false: the card holds there what the program wrote
    uint64_t offset = 0;   // the first byte that differs (4a + p for plane p of address a at 4 bits)
    uint8_t meant = 0, held = 0;
    bool found = false;  // the card holds the bytes written from `offset` on at `foundAt` instead
    uint64_t foundAt = 0;
};

struct PixelDifference {
    uint64_t count = 0;
    int32_t x = 0, y = 0;           // the first pixel that differs, row by row
    uint32_t meant = 0, shown = 0;  // 0xRRGGBB
    MemoryAtPixel memory;
};

// Compares the card's video memory with the program's copy behind pixel (x, y) of the meant
// screen; where they differ, looks for what the program wrote there in the card's memory, the
// nearest place after it first.
MemoryAtPixel compareMemoryAt(const display::MeantScreen& meant, int32_t x, int32_t y, const uint8_t* meantMemory,
                              const uint8_t* cardMemory, uint64_t bytes);

std::string verdictHint(const display::MeantScreen& meant, const ShownScreen& shown, const PixelDifference& first);

}  // namespace desktop
