#include "machine/vga/sequencer.h"

namespace machine {
namespace {

// Map n lies at n * 16 KB of plane 2, maps 4-7 in the halves between.
uint32_t mapBase(int map)
{
    return static_cast<uint32_t>((map & 3) * 0x4000 + (map >> 2) * 0x2000);
}

}  // namespace

uint8_t Sequencer::in(uint16_t port) const
{
    return port == vga::seq::INDEX_PORT ? index : reg[index % vga::seq::REGISTER_COUNT];
}

void Sequencer::out(uint16_t port, uint8_t value)
{
    if (port == vga::seq::INDEX_PORT)
        index = value % vga::seq::REGISTER_COUNT;
    else
        reg[index % vga::seq::REGISTER_COUNT] = value;
}

// Character map select: map B in bits 4,1,0, map A in bits 5,3,2.
uint32_t Sequencer::fontB() const
{
    const uint8_t select = reg[vga::seq::CHARACTER_MAP];
    return mapBase((select & 0x03) | ((select >> 2) & 0x04));
}

uint32_t Sequencer::fontA() const
{
    const uint8_t select = reg[vga::seq::CHARACTER_MAP];
    return mapBase(((select >> 2) & 0x03) | ((select >> 3) & 0x04));
}

}  // namespace machine
