// Copies between physical addresses anywhere below 4 GB as real-mode code for QEMU's stopped
// CPU: a moment in protected mode gives DS and ES flat 4 GB limits ("big real mode"), then
// each copy is an address-size-32 `rep movsd` and `rep movsb`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qemu_pc {

struct PhysicalCopy {
    uint32_t from;
    uint32_t to;
    uint32_t bytes;
};

// Code to be placed at linear `origin` (below 64 KB, run with CS = 0, interrupts off and the
// direction flag clear), ending in a near jump to `exit`. It leaves GDTR as it found it, and
// DS and ES with flat limits, which the next call's registers replace.
std::vector<uint8_t> stagedCopyCode(uint16_t origin, uint16_t exit, const std::vector<PhysicalCopy>& copies);
// The size of that code for `copies` copies.
size_t stagedCopyCodeBytes(size_t copies);

}  // namespace qemu_pc
