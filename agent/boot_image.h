// Palisade's agent as a boot image (the boot sector and the agent after it) and as a DOS
// program, embedded at build time.
#pragma once

#include <cstdint>
#include <span>

namespace agent {

// Booted from a floppy whose first sectors hold these bytes, the agent answers on COM1 at
// 115,200 baud. A 1.44 MB floppy image is these bytes followed by zeros.
std::span<const uint8_t> bootImage();

constexpr uint32_t FLOPPY_BYTES = 1474560;

// AGENT.COM: run under DOS (with no arguments: COM1 at 115,200 baud).
std::span<const uint8_t> dosProgram();

}  // namespace agent
