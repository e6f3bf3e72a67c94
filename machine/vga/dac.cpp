#include "machine/vga/dac.h"

namespace machine {

using namespace vga::dac;

uint8_t Dac::in(uint16_t port)
{
    switch (port) {
    case PIXEL_MASK_PORT: return pixelMask;
    case READ_INDEX_PORT: return reading ? STATE_READING : 0x00;
    case WRITE_INDEX_PORT: return writeIndex;
    case DATA_PORT: {
        uint8_t value = entries[readIndex * COMPONENTS + component];
        if (bits == 6)
            value &= 0x3F;
        if (++component == COMPONENTS) {
            component = 0;
            ++readIndex;
        }
        return value;
    }
    default: return 0xFF;
    }
}

void Dac::out(uint16_t port, uint8_t value)
{
    switch (port) {
    case PIXEL_MASK_PORT: pixelMask = value; return;
    case READ_INDEX_PORT:
        readIndex = value;
        component = 0;
        reading = true;
        return;
    case WRITE_INDEX_PORT:
        writeIndex = value;
        component = 0;
        reading = false;
        return;
    case DATA_PORT:
        entries[writeIndex * COMPONENTS + (crossRedGreen && component < 2 ? 1 - component : component)] = value;
        if (++component == COMPONENTS) {
            component = 0;
            ++writeIndex;
        }
        return;
    default: return;
    }
}

// A 6-bit DAC keeps the low 6 bits of what it was given, scaled to 8 bits for the monitor.
std::array<uint32_t, ENTRIES> Dac::colours() const
{
    const auto level = [this](uint8_t value) -> uint32_t {
        if (bits == 8)
            return value;
        const uint32_t six = value & 0x3F;
        return (six << 2) | (six >> 4);
    };
    std::array<uint32_t, ENTRIES> palette;
    for (int i = 0; i < ENTRIES; ++i) {
        const int entry = i & pixelMask;
        palette[i] = (level(entries[entry * COMPONENTS]) << 16) | (level(entries[entry * COMPONENTS + 1]) << 8) |
                     level(entries[entry * COMPONENTS + 2]);
    }
    return palette;
}

}  // namespace machine
