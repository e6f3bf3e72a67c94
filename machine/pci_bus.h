// PCI configuration mechanism 1 (ports 0xCF8/0xCFC) with the machine's functions on bus 0,
// each with its own configuration space: the display card at 00:02.0 (as the QEMU standard
// VGA, vendor 1234h device 1111h, framebuffer at BAR 0; or as a Cirrus GD5446), and on the
// Cirrus machine a host bridge at 00:00.0, which its LGPL BIOS looks for before the card.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace machine {

// What a function's configuration header says about it: identity and the BARs it decodes.
struct PciFunction {
    uint16_t bdf = 0;
    uint16_t vendor = 0, device = 0;
    uint32_t classRevision = 0;           // class, subclass, interface, revision
    uint32_t subsystem = 0;               // subsystem id << 16 | subsystem vendor
    std::array<uint32_t, 6> barBytes{};   // 0: no BAR; memory BARs only
    std::array<uint32_t, 6> barFlags{};   // e.g. prefetchable
    std::array<uint32_t, 6> bars{};       // the addresses as programmed
    uint32_t romBytes = 0;
    uint32_t rom = 0;
    uint16_t command = 0x0003;            // I/O and memory decoding on, as the firmware left it
};

class PciBus {
public:
    static constexpr uint16_t HOST_BRIDGE_BDF = 0x0000;  // bus 0, device 0, function 0
    static constexpr uint16_t CARD_BDF = 0x0010;         // bus 0, device 2, function 0

    // The standard VGA card alone, its framebuffer sized to the video memory.
    PciBus(uint32_t lfbAddress, uint32_t videoMemoryBytes);
    explicit PciBus(std::vector<PciFunction> functions);

    static bool decodesPort(uint16_t port) { return port >= 0xCF8 && port <= 0xCFF; }
    // size: 1, 2 or 4 bytes.
    uint32_t in(uint16_t port, unsigned size);
    void out(uint16_t port, uint32_t value, unsigned size);

    uint32_t readConfig(uint16_t bdf, uint8_t reg);             // 32-bit, reg aligned down
    void writeConfig(uint16_t bdf, uint8_t reg, uint32_t value);  // 32-bit, reg aligned down
    uint32_t barAddress(uint16_t bdf, int bar) const;
    uint32_t lfbAddress() const { return barAddress(CARD_BDF, 0); }
    const PciFunction* find(uint16_t bdf) const;

private:
    PciFunction* function(uint16_t bdf);

    uint32_t address_ = 0;
    std::vector<PciFunction> functions_;
};

}  // namespace machine
