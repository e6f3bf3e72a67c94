// PCI configuration mechanism 1 (ports 0xCF8/0xCFC) with one device on bus 0: the card,
// answering as the QEMU standard VGA (vendor 1234h, device 1111h) with its framebuffer at BAR 0.
#pragma once

#include <cstdint>

namespace machine {

class PciBus {
public:
    static constexpr uint16_t CARD_BDF = 0x0010;  // bus 0, device 2, function 0

    PciBus(uint32_t lfbAddress, uint32_t videoMemoryBytes);

    static bool decodesPort(uint16_t port) { return port >= 0xCF8 && port <= 0xCFF; }
    // size: 1, 2 or 4 bytes.
    uint32_t in(uint16_t port, unsigned size);
    void out(uint16_t port, uint32_t value, unsigned size);

    uint32_t readConfig(uint16_t bdf, uint8_t reg);             // 32-bit, reg aligned down
    void writeConfig(uint16_t bdf, uint8_t reg, uint32_t value);  // 32-bit, reg aligned down
    uint32_t lfbAddress() const { return bar0_ & ~0xFu; }

private:
    uint32_t address_ = 0;
    uint32_t bar0_;
    uint32_t barSizeMask_;
    uint16_t command_ = 0x0003;  // I/O and memory decoding on, as the firmware left it
};

}  // namespace machine
