// Paragraph allocator over the free part of conventional memory.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace realmode {

class ConventionalAllocator {
public:
    // Hands out paragraph-aligned blocks from [start, end) (linear addresses).
    ConventionalAllocator(uint32_t start, uint32_t end);

    // The linear address of a block of at least `bytes` bytes, or nothing when no gap is large enough.
    std::optional<uint32_t> allocate(uint32_t bytes);
    // Releases the block that starts at `address`; false when no block starts there.
    bool release(uint32_t address);
    uint32_t largestFree() const;

private:
    uint32_t start_;
    uint32_t end_;
    std::map<uint32_t, uint32_t> blocks_;  // start -> length in bytes (whole paragraphs)
};

}  // namespace realmode
