#include "realmode/conventional_allocator.h"

#include <algorithm>

namespace realmode {

ConventionalAllocator::ConventionalAllocator(uint32_t start, uint32_t end)
    : start_((start + 15) & ~15u), end_(std::max(end & ~15u, (start + 15) & ~15u))
{
}

std::optional<uint32_t> ConventionalAllocator::allocate(uint32_t bytes)
{
    if (bytes > end_ - start_)
        return std::nullopt;
    const uint32_t length = std::max<uint32_t>(16, (bytes + 15) & ~15u);
    uint32_t candidate = start_;
    for (const auto& [address, size] : blocks_) {
        if (address - candidate >= length)
            break;
        candidate = address + size;
    }
    if (candidate > end_ || end_ - candidate < length)
        return std::nullopt;
    blocks_.emplace(candidate, length);
    return candidate;
}

bool ConventionalAllocator::release(uint32_t address)
{
    return blocks_.erase(address) == 1;
}

uint32_t ConventionalAllocator::largestFree() const
{
    uint32_t largest = 0, candidate = start_;
    for (const auto& [address, size] : blocks_) {
        largest = std::max(largest, address - candidate);
        candidate = address + size;
    }
    return std::max(largest, end_ - candidate);
}

}  // namespace realmode
