#include "machine/card.h"

namespace machine {

uint16_t Card::in16(uint16_t port) {
    const uint8_t low = in8(port);
    return static_cast<uint16_t>(low | (in8(static_cast<uint16_t>(port + 1)) << 8));
}

void Card::out16(uint16_t port, uint16_t value) {
    out8(port, static_cast<uint8_t>(value));
    out8(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

bool Card::readBus(uint32_t address, uint8_t& value) {
    const uint32_t lfb = lfbAddress();
    if (address < lfb || address - lfb >= videoMemoryBytes()) return false;
    value = videoMemory()[address - lfb];
    return true;
}

bool Card::writeBus(uint32_t address, uint8_t value) {
    const uint32_t lfb = lfbAddress();
    if (address < lfb || address - lfb >= videoMemoryBytes()) return false;
    videoMemory()[address - lfb] = value;
    return true;
}

}  // namespace machine
