#include "display/meant_memory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace display {
namespace {

// The copy is as large as video memory (up to 512 MB) but costs host memory only where the
// program drew: an anonymous mapping whose pages the kernel supplies, zeroed, on the first
// write, and takes back when the copy is cleared.
struct Copy {
    bool kept = false;
    uint8_t* bytes = nullptr;
    uint64_t size = 0;
    size_t mapped = 0;

    void release()
    {
        if (bytes)
            munmap(bytes, mapped);
        bytes = nullptr;
        size = 0;
        mapped = 0;
    }

    void clear(uint64_t newSize)
    {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t wanted = size_t((newSize + page - 1) / page * page);
        if (bytes && wanted == mapped && madvise(bytes, mapped, MADV_DONTNEED) == 0) {
            size = newSize;
            return;
        }
        release();
        if (wanted == 0)
            return;
        void* p = mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED)
            return;  // no copy: the verdict then has nothing to judge the memory by
        bytes = static_cast<uint8_t*>(p);
        size = newSize;
        mapped = wanted;
    }
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
        copy().release();
}

uint8_t* meantMemory()
{
    return copy().bytes;
}

uint64_t meantMemoryBytes()
{
    return copy().size;
}

void meanClearedMemory(uint64_t bytes)
{
    Copy& c = copy();
    if (c.kept)
        c.clear(bytes);
}

void meanPackedPixel(uint64_t offset, uint32_t color, int bytes)
{
    Copy& memory = copy();
    if (offset + uint64_t(bytes) > memory.size)
        return;
    for (int k = 0; k < bytes; ++k)
        memory.bytes[offset + uint64_t(k)] = uint8_t(color >> (8 * k));
}

void meanPlanarPixels(uint64_t address, uint8_t mask, uint8_t color)
{
    Copy& memory = copy();
    if ((address + 1) * PLANES > memory.size)
        return;
    for (int plane = 0; plane < PLANES; ++plane) {
        uint8_t& byte = memory.bytes[address * PLANES + uint64_t(plane)];
        byte = uint8_t((byte & ~mask) | (((color >> plane) & 1) ? mask : 0));
    }
}

}  // namespace display
