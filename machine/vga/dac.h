// The VGA DAC: the pixel mask, the read and write indices with their red-green-blue sequence,
// and the 256 colours as written; its width (6 or 8 bits) decides which bits count.
#pragma once

#include <array>
#include <cstdint>

#include "hw/vga.h"

namespace machine {

struct Dac {
    uint8_t pixelMask = 0xFF;
    uint8_t readIndex = 0, writeIndex = 0, component = 0;
    bool reading = false;        // the last index written was the read index
    int bits = 6;                // the width the DAC uses; an extension may widen it
    bool crossRedGreen = false;  // a deliberate fault: red and green are stored crossed
    std::array<uint8_t, vga::dac::ENTRIES * vga::dac::COMPONENTS> entries{};

    uint8_t in(uint16_t port);
    void out(uint16_t port, uint8_t value);

    // Each index through the pixel mask to a 0x00RRGGBB colour, as the monitor sees it.
    std::array<uint32_t, vga::dac::ENTRIES> colours() const;
};

}  // namespace machine
