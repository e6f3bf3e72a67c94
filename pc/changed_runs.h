// What changed in a host copy of the PC's memory since it was last exchanged with the PC:
// the runs of bytes an engine that keeps such copies (QEMU's, the agent's) must send.
#pragma once

#include <cstdint>
#include <vector>

namespace pc {

struct ByteRun {
    uint32_t at, end;  // [at, end)
};

// The runs where shadow differs from synced, each ending once `bridge` equal bytes follow in
// a row (0: at the first equal byte; a few equal bytes sent cost less than a new write).
std::vector<ByteRun> findChangedRuns(const uint8_t* shadow, const uint8_t* synced, uint32_t bytes, uint32_t bridge);

// The same runs; synced is brought up to shadow over every run returned.
std::vector<ByteRun> takeChangedRuns(const uint8_t* shadow, uint8_t* synced, uint32_t bytes, uint32_t bridge);

}  // namespace pc
