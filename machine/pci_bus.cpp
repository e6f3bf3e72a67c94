#include "machine/pci_bus.h"

#include <cstring>

namespace machine {
namespace {

uint32_t allOnes(unsigned size)
{
    return size == 4 ? 0xFFFFFFFF : (1u << (size * 8)) - 1;
}

}  // namespace

uint32_t ConfigSpace::read(uint8_t reg) const
{
    uint32_t value;
    std::memcpy(&value, &bytes_[reg & pci::CONFIG_ADDRESS_REGISTER], 4);
    return value;
}

void ConfigSpace::write(uint8_t reg, uint32_t value)
{
    const uint8_t at = reg & pci::CONFIG_ADDRESS_REGISTER;
    uint32_t mask;
    std::memcpy(&mask, &writable_[at], 4);
    const uint32_t merged = (read(at) & ~mask) | (value & mask);
    std::memcpy(&bytes_[at], &merged, 4);
}

void ConfigSpace::set16(uint8_t offset, uint16_t value)
{
    std::memcpy(&bytes_[offset], &value, 2);
}
void ConfigSpace::set32(uint8_t offset, uint32_t value)
{
    std::memcpy(&bytes_[offset], &value, 4);
}
void ConfigSpace::setWritable(uint8_t offset, uint32_t mask)
{
    std::memcpy(&writable_[offset], &mask, 4);
}

void ConfigSpace::defineMemoryBar(int bar, uint32_t address, uint32_t size, uint32_t flags)
{
    const uint32_t addressBits = ~(size - 1) & pci::BAR_MEMORY_ADDRESS;
    set32(pci::barOffset(bar), (address & addressBits) | flags);
    setWritable(pci::barOffset(bar), addressBits);
}

uint32_t PciBus::readConfig(uint16_t bdf, uint8_t reg) const
{
    const auto found = functions_.find(bdf);
    return found == functions_.end() ? 0xFFFFFFFF : found->second->read(reg);
}

void PciBus::writeConfig(uint16_t bdf, uint8_t reg, uint32_t value)
{
    const auto found = functions_.find(bdf);
    if (found != functions_.end())
        found->second->write(reg, value);
}

bool PciBus::findDevice(uint16_t vendor, uint16_t device, uint16_t index, uint16_t& bdf) const
{
    for (const auto& [at, function] : functions_) {
        if (function->vendor() != vendor || function->device() != device)
            continue;
        if (index-- == 0) {
            bdf = at;
            return true;
        }
    }
    return false;
}

bool PciBus::findClass(uint32_t classCode, uint16_t index, uint16_t& bdf) const
{
    for (const auto& [at, function] : functions_) {
        if (function->classCode() != (classCode & 0xFFFFFF))
            continue;
        if (index-- == 0) {
            bdf = at;
            return true;
        }
    }
    return false;
}

uint32_t PciBus::in(uint16_t port, unsigned size)
{
    if (port == pci::CONFIG_ADDRESS_PORT && size == 4)
        return address_;
    if (port < pci::CONFIG_DATA_PORT || !(address_ & pci::CONFIG_ADDRESS_ENABLE))
        return allOnes(size);
    const uint16_t bdf = static_cast<uint16_t>(address_ >> pci::CONFIG_ADDRESS_BDF_SHIFT);
    const unsigned shift = (port & 3) * 8;
    const uint32_t value = readConfig(bdf, static_cast<uint8_t>(address_ & pci::CONFIG_ADDRESS_REGISTER)) >> shift;
    return value & allOnes(size);
}

void PciBus::out(uint16_t port, uint32_t value, unsigned size)
{
    if (port == pci::CONFIG_ADDRESS_PORT) {
        if (size == 4)
            address_ = value;
        return;
    }
    if (port < pci::CONFIG_DATA_PORT || !(address_ & pci::CONFIG_ADDRESS_ENABLE))
        return;
    const uint16_t bdf = static_cast<uint16_t>(address_ >> pci::CONFIG_ADDRESS_BDF_SHIFT);
    const uint8_t reg = static_cast<uint8_t>(address_ & pci::CONFIG_ADDRESS_REGISTER);
    const unsigned shift = (port & 3) * 8;
    uint32_t merged = value << shift;
    if (size != 4) {
        const uint32_t mask = allOnes(size) << shift;
        merged = (readConfig(bdf, reg) & ~mask) | (merged & mask);
    }
    writeConfig(bdf, reg, merged);
}

}  // namespace machine
