#include "display/meant_memory.h"

#include <vector>

namespace display {
namespace {

struct Copy {
    bool kept = false;
    std::vector<uint8_t> bytes;
};

Copy& copy()
{
    static Copy c;
    return c;
}

constexpr int PLANES = 4;

}  // namespace

void keepMeantMemory(bool keep)
{
    copy().kept = keep;
    if (!keep)
        copy().bytes = {};
}

uint8_t* meantMemory()
{
    Copy& c = copy();
    return c.bytes.empty() ? nullptr : c.bytes.data();
}

uint64_t meantMemoryBytes()
{
    return copy().bytes.size();
}

void meanClearedMemory(uint64_t bytes)
{
    Copy& c = copy();
    if (c.kept)
        c.bytes.assign(bytes, 0);
}

void meanPackedPixel(uint64_t offset, uint32_t color, int bytes)
{
    std::vector<uint8_t>& memory = copy().bytes;
    if (offset + uint64_t(bytes) > memory.size())
        return;
    for (int k = 0; k < bytes; ++k)
        memory[offset + uint64_t(k)] = uint8_t(color >> (8 * k));
}

void meanPlanarPixels(uint64_t address, uint8_t mask, uint8_t color)
{
    std::vector<uint8_t>& memory = copy().bytes;
    if ((address + 1) * PLANES > memory.size())
        return;
    for (int plane = 0; plane < PLANES; ++plane) {
        uint8_t& byte = memory[address * PLANES + uint64_t(plane)];
        byte = uint8_t((byte & ~mask) | (((color >> plane) & 1) ? mask : 0));
    }
}

}  // namespace display
