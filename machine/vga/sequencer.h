// The VGA sequencer: which planes a write reaches, chain 4 and odd/even addressing, the
// character clock and the text modes' character maps.
#pragma once

#include <array>
#include <cstdint>

#include "hw/vga.h"

namespace machine {

struct Sequencer {
    uint8_t index = 0;
    std::array<uint8_t, vga::seq::REGISTER_COUNT> reg{};

    uint8_t in(uint16_t port) const;
    void out(uint16_t port, uint8_t value);

    uint8_t mapMask() const { return reg[vga::seq::MAP_MASK] & vga::seq::MAP_MASK_PLANES; }
    bool chain4() const { return reg[vga::seq::MEMORY_MODE] & vga::seq::MEMORY_MODE_CHAIN4; }
    bool oddEvenWrites() const { return !(reg[vga::seq::MEMORY_MODE] & vga::seq::MEMORY_MODE_ODD_EVEN_OFF); }
    bool screenOff() const { return reg[vga::seq::CLOCKING_MODE] & vga::seq::CLOCKING_MODE_SCREEN_OFF; }
    int dotsPerCharacter() const { return (reg[vga::seq::CLOCKING_MODE] & vga::seq::CLOCKING_MODE_8_DOTS) ? 8 : 9; }

    // Plane-2 addresses of the fonts for characters with attribute bit 3 clear (map B) and set (map A).
    uint32_t fontB() const;
    uint32_t fontA() const;
};

}  // namespace machine
