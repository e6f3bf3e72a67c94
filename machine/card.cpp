#include "machine/card.h"

namespace machine {

uint16_t Card::in16(uint16_t port)
{
    const uint8_t low = in8(port);
    return static_cast<uint16_t>(low | (in8(static_cast<uint16_t>(port + 1)) << 8));
}

void Card::out16(uint16_t port, uint16_t value)
{
    out8(port, static_cast<uint8_t>(value));
    out8(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

uint32_t Card::readBus(uint32_t address, unsigned bytes)
{
    const uint32_t lfb = lfbAddress();
    uint32_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = address + i - lfb;
        const uint8_t byte = address + i >= lfb && at < videoMemoryBytes() ? videoMemory()[at] : 0xFF;
        value |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return value;
}

void Card::writeBus(uint32_t address, unsigned bytes, uint32_t value)
{
    const uint32_t lfb = lfbAddress();
    for (unsigned i = 0; i < bytes; ++i) {
        const uint32_t at = address + i - lfb;
        if (address + i >= lfb && at < videoMemoryBytes())
            videoMemory()[at] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace machine
