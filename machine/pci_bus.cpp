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

PciBus::PciBus(uint32_t lfbAddress, uint32_t videoMemoryBytes) {
    PciFunction card;
    card.bdf = CARD_BDF;
    card.vendor = 0x1234;
    card.device = 0x1111;
    card.classRevision = 0x03000002;  // VGA display controller, revision 2
    card.subsystem = 0x11001AF4;
    card.barBytes[0] = powerOfTwoAtLeast(videoMemoryBytes);
    card.barFlags[0] = PREFETCHABLE;
    card.bars[0] = lfbAddress & ~(card.barBytes[0] - 1);
    functions_.push_back(card);
}

PciBus::PciBus(std::vector<PciFunction> functions) : functions_(std::move(functions)) {}

PciFunction* PciBus::function(uint16_t bdf) {
    for (PciFunction& f : functions_)
        if (f.bdf == bdf) return &f;
    return nullptr;
}

const PciFunction* PciBus::find(uint16_t bdf) const { return const_cast<PciBus*>(this)->function(bdf); }

uint32_t PciBus::barAddress(uint16_t bdf, int bar) const {
    const PciFunction* f = find(bdf);
    return f ? f->bars[bar] : 0;
}

uint32_t PciBus::readConfig(uint16_t bdf, uint8_t reg) {
    const PciFunction* f = function(bdf);
    if (!f) return 0xFFFFFFFF;
    reg &= 0xFC;
    if (reg >= 0x10 && reg < 0x28) {
        const int bar = (reg - 0x10) / 4;
        return f->barBytes[bar] ? f->bars[bar] | f->barFlags[bar] : 0;
    }
    switch (reg) {
    case 0x00: return static_cast<uint32_t>(f->device) << 16 | f->vendor;
    case 0x04: return (bdf == HOST_BRIDGE_BDF ? 0u : 0x02000000u) | f->command;  // status, command
    case 0x08: return f->classRevision;
    case 0x2C: return f->subsystem;
    case 0x30: return f->romBytes ? f->rom : 0;
    default: return 0;
    }
}

void PciBus::writeConfig(uint16_t bdf, uint8_t reg, uint32_t value) {
    PciFunction* f = function(bdf);
    if (!f) return;
    reg &= 0xFC;
    if (reg >= 0x10 && reg < 0x28) {
        const int bar = (reg - 0x10) / 4;
        if (f->barBytes[bar]) f->bars[bar] = value & ~(f->barBytes[bar] - 1);  // sizing writes all ones
        return;
    }
    switch (reg) {
    case 0x04: f->command = static_cast<uint16_t>(value & 0x0007); break;
    case 0x30:
        if (f->romBytes) f->rom = value & (~(f->romBytes - 1) | 1u);
        break;
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
