// PCI: configuration mechanism 1 (ports CF8h/CFCh) over a bus of functions, each bringing its
// own configuration space: 256 bytes, the bits software may write, and BARs that size
// themselves as PCI's do (write all ones, read back the size).
#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "hw/pci.h"

namespace machine {

class ConfigSpace {
public:
    uint32_t read(uint8_t reg) const;         // 32-bit, reg aligned down
    void write(uint8_t reg, uint32_t value);  // 32-bit, reg aligned down; only writable bits

    // Building the space: a field's value, and which of its bits software may change.
    void set8(uint8_t offset, uint8_t value) { bytes_[offset] = value; }
    void set16(uint8_t offset, uint16_t value);
    void set32(uint8_t offset, uint32_t value);
    void setWritable(uint8_t offset, uint32_t mask);  // 32 bits from `offset` (aligned)
    // A memory BAR of `size` bytes (a power of two) at `address`, with its flag bits.
    void defineMemoryBar(int bar, uint32_t address, uint32_t size, uint32_t flags);

    uint16_t vendor() const { return static_cast<uint16_t>(read(pci::VENDOR_ID)); }
    uint16_t device() const { return static_cast<uint16_t>(read(pci::VENDOR_ID) >> 16); }
    uint32_t classCode() const { return read(pci::REVISION_ID) >> 8; }
    uint16_t command() const { return static_cast<uint16_t>(read(pci::COMMAND)); }
    uint32_t barAddress(int bar) const { return read(pci::barOffset(bar)) & pci::BAR_MEMORY_ADDRESS; }

private:
    std::array<uint8_t, pci::CONFIG_SPACE_BYTES> bytes_{};
    std::array<uint8_t, pci::CONFIG_SPACE_BYTES> writable_{};
};

class PciBus {
public:
    void attach(uint16_t bdf, ConfigSpace& function) { functions_[bdf] = &function; }

    static bool decodesPort(uint16_t port)
    {
        return port >= pci::CONFIG_ADDRESS_PORT && port <= pci::CONFIG_PORTS_LAST;
    }
    // size: 1, 2 or 4 bytes.
    uint32_t in(uint16_t port, unsigned size);
    void out(uint16_t port, uint32_t value, unsigned size);

    uint32_t readConfig(uint16_t bdf, uint8_t reg) const;         // 32-bit; all ones where nothing answers
    void writeConfig(uint16_t bdf, uint8_t reg, uint32_t value);  // 32-bit

    // The `index`-th function (from 0, in bus order) with these ids or this class code.
    bool findDevice(uint16_t vendor, uint16_t device, uint16_t index, uint16_t& bdf) const;
    bool findClass(uint32_t classCode, uint16_t index, uint16_t& bdf) const;

private:
    uint32_t address_ = 0;
    std::map<uint16_t, ConfigSpace*> functions_;
};

}  // namespace machine
