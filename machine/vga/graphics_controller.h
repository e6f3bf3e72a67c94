// The VGA graphics controller: the memory map of the host window, the latches, read modes 0-1
// and write modes 0-3 with set/reset, rotation, logic operations and the bit mask.
#pragma once

#include <array>
#include <cstdint>

#include "hw/vga.h"

namespace machine {

struct GraphicsController {
    uint8_t index = 0;
    std::array<uint8_t, vga::gc::REGISTER_COUNT> reg{};
    uint32_t latches = 0;  // one byte per plane: byte p is plane p

    uint8_t in(uint16_t port) const;
    void out(uint16_t port, uint8_t value);

    // The part of A0000-BFFFF the host window covers in VGA modes.
    uint32_t windowBase() const;
    uint32_t windowSize() const;

    bool graphics() const { return reg[vga::gc::MISC] & vga::gc::MISC_GRAPHICS; }
    bool shift256() const { return reg[vga::gc::MODE] & vga::gc::MODE_SHIFT_256; }
    bool oddEvenReads() const { return reg[vga::gc::MODE] & vga::gc::MODE_HOST_ODD_EVEN; }
    uint8_t readMap() const { return reg[vga::gc::READ_MAP_SELECT] & vga::gc::READ_MAP_SELECT_PLANE; }

    // A planar read of the four plane bytes at one address: loads the latches, then answers
    // as the read mode says.
    uint8_t read(uint32_t planes);
    // What a planar write of `value` puts in the four plane bytes (before the map mask),
    // from the latches as the write mode, logic operation and bit mask say.
    uint32_t write(uint8_t value) const;
};

// A 4-bit plane mask spread over the four bytes of a plane word (byte p = plane p).
constexpr uint32_t expandPlanes(uint8_t mask)
{
    uint32_t result = 0;
    for (int plane = 0; plane < 4; ++plane)
        if (mask & (1u << plane))
            result |= 0xFFu << (plane * 8);
    return result;
}

}  // namespace machine
