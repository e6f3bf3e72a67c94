#include "machine/pci_bus.h"

namespace machine {
namespace {

constexpr uint32_t PREFETCHABLE = 0x8;

uint32_t powerOfTwoAtLeast(uint32_t bytes) {
    uint32_t size = 0x10000;
    while (size < bytes) size <<= 1;
    return size;
}

}  // namespace

PciBus::PciBus(uint32_t lfbAddress, uint32_t videoMemoryBytes)
    : barSizeMask_(~(powerOfTwoAtLeast(videoMemoryBytes) - 1)) {
    bar0_ = (lfbAddress & barSizeMask_) | PREFETCHABLE;
}

uint32_t PciBus::readConfig(uint16_t bdf, uint8_t reg) {
    if (bdf != CARD_BDF) return 0xFFFFFFFF;
    switch (reg & 0xFC) {
    case 0x00: return 0x11111234;                     // device, vendor
    case 0x04: return 0x02000000u | command_;           // status, command
    case 0x08: return 0x03000002;                     // VGA display controller, revision 2
    case 0x0C: return 0x00000000;
    case 0x10: return bar0_;
    case 0x2C: return 0x11001AF4;                     // subsystem
    default: return 0;
    }
}

void PciBus::writeConfig(uint16_t bdf, uint8_t reg, uint32_t value) {
    if (bdf != CARD_BDF) return;
    switch (reg & 0xFC) {
    case 0x04: command_ = static_cast<uint16_t>(value & 0x0007); break;
    case 0x10: bar0_ = (value & barSizeMask_) | PREFETCHABLE; break;  // sizing writes all ones
    default: break;
    }
}

uint32_t PciBus::in(uint16_t port, unsigned size) {
    if (port == 0xCF8 && size == 4) return address_;
    if (port < 0xCFC) return size == 4 ? 0xFFFFFFFF : (1u << (size * 8)) - 1;
    if (!(address_ & 0x80000000u)) return size == 4 ? 0xFFFFFFFF : (1u << (size * 8)) - 1;
    const uint16_t bdf = static_cast<uint16_t>((address_ >> 8) & 0xFFFF);
    const unsigned shift = (port & 3) * 8;
    const uint32_t value = readConfig(bdf, static_cast<uint8_t>(address_ & 0xFC)) >> shift;
    return size == 4 ? value : value & ((1u << (size * 8)) - 1);
}

void PciBus::out(uint16_t port, uint32_t value, unsigned size) {
    if (port == 0xCF8) {
        if (size == 4) address_ = value;
        return;
    }
    if (port < 0xCFC || !(address_ & 0x80000000u)) return;
    const uint16_t bdf = static_cast<uint16_t>((address_ >> 8) & 0xFFFF);
    const uint8_t reg = static_cast<uint8_t>(address_ & 0xFC);
    const unsigned shift = (port & 3) * 8;
    uint32_t merged = value << shift;
    if (size != 4) {
        const uint32_t mask = ((1u << (size * 8)) - 1) << shift;
        merged = (readConfig(bdf, reg) & ~mask) | (merged & mask);
    }
    writeConfig(bdf, reg, merged);
}

}  // namespace machine
