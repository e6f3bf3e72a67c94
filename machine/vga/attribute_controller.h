// The VGA attribute controller: the index/data flip-flop on one port, the 16-entry palette
// from a 4-bit pixel to a DAC index, and the picture-on bit of its index.
#pragma once

#include <array>
#include <cstdint>

#include "hw/vga.h"

namespace machine {

struct AttributeController {
    uint8_t index = 0;      // with vga::attr::INDEX_PICTURE_ON
    bool dataNext = false;  // the flip-flop: the next write is data
    std::array<uint8_t, vga::attr::REGISTER_COUNT> reg{};

    uint8_t in(uint16_t port) const;
    void out(uint16_t port, uint8_t value);
    void resetFlipFlop() { dataNext = false; }

    bool pictureOn() const { return index & vga::attr::INDEX_PICTURE_ON; }
    bool blink() const { return reg[vga::attr::MODE_CONTROL] & vga::attr::MODE_CONTROL_BLINK; }
    bool lineGraphics() const { return reg[vga::attr::MODE_CONTROL] & vga::attr::MODE_CONTROL_LINE_GRAPHICS; }

    // The DAC index each 4-bit pixel value becomes.
    std::array<uint8_t, vga::attr::PALETTE_COUNT> dacIndices() const;
};

}  // namespace machine
