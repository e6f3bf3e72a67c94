// The changed runs of a host copy of the PC's memory.
#include "pc/changed_runs.h"

#include <algorithm>
#include <cstring>

namespace pc {

namespace {

// Equal stretches are skipped this many bytes at a time.
constexpr uint32_t COMPARE_STEP = 64;

}  // namespace

std::vector<ByteRun> findChangedRuns(const uint8_t* shadow, const uint8_t* synced, uint32_t bytes, uint32_t bridge)
{
    std::vector<ByteRun> runs;
    for (uint32_t at = 0; at < bytes;) {
        const uint32_t step = std::min(COMPARE_STEP, bytes - at);
        if (std::memcmp(shadow + at, synced + at, step) == 0) {
            at += step;
            continue;
        }
        const uint32_t stepEnd = at + step;
        while (at < stepEnd) {
            if (shadow[at] == synced[at]) {
                ++at;
                continue;
            }
            uint32_t end = at + 1, equal = 0;
            while (end < bytes && equal <= bridge) {
                equal = shadow[end] == synced[end] ? equal + 1 : 0;
                ++end;
            }
            end -= equal;
            runs.push_back({at, end});
            at = end;
        }
    }
    return runs;
}

std::vector<ByteRun> takeChangedRuns(const uint8_t* shadow, uint8_t* synced, uint32_t bytes, uint32_t bridge)
{
    std::vector<ByteRun> runs = findChangedRuns(shadow, synced, bytes, bridge);
    for (const ByteRun& run : runs)
        std::memcpy(synced + run.at, shadow + run.at, run.end - run.at);
    return runs;
}

}  // namespace pc
