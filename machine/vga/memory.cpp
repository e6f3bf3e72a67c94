// The VGA's memory access from the host: the window's memory map, then chain 4, odd/even or
// the four planes through the graphics controller's latches and write modes.
#include "machine/vga/core.h"

#include <cstring>

namespace machine {

uint8_t VgaCore::readWindow(uint32_t address)
{
    const uint32_t base = gc.windowBase();
    if (address < base || address >= base + gc.windowSize())
        return 0xFF;
    return readMemory(address - base);
}

void VgaCore::writeWindow(uint32_t address, uint8_t value)
{
    const uint32_t base = gc.windowBase();
    if (address < base || address >= base + gc.windowSize())
        return;
    writeMemory(address - base, value);
}

uint8_t VgaCore::readMemory(uint32_t offset)
{
    if (seq.chain4())
        return offset < vram_.size() ? vram_[offset] : 0xFF;
    if (gc.oddEvenReads()) {
        const uint32_t plane = (gc.readMap() & 2) | (offset & 1);
        const uint32_t index = ((offset & ~1u) << 1) | plane;
        return index < vram_.size() ? vram_[index] : 0xFF;
    }
    if (offset * 4 + 3 >= vram_.size())
        return 0xFF;
    uint32_t planes;
    std::memcpy(&planes, &vram_[offset * 4], 4);
    return gc.read(planes);
}

void VgaCore::writeMemory(uint32_t offset, uint8_t value)
{
    const uint8_t mapMask = seq.mapMask();
    if (seq.chain4()) {
        if ((mapMask & (1u << (offset & 3))) && offset < vram_.size())
            vram_[offset] = value;
        return;
    }
    if (seq.oddEvenWrites()) {
        const uint32_t plane = offset & 1;
        const uint32_t index = ((offset & ~1u) << 1) | plane;
        if ((mapMask & (1u << plane)) && index < vram_.size())
            vram_[index] = value;
        return;
    }
    if (offset * 4 + 3 >= vram_.size())
        return;
    const uint32_t writeMask = expandPlanes(mapMask);
    uint32_t planes;
    std::memcpy(&planes, &vram_[offset * 4], 4);
    planes = (planes & ~writeMask) | (gc.write(value) & writeMask);
    std::memcpy(&vram_[offset * 4], &planes, 4);
}

}  // namespace machine
