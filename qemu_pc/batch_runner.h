// The batch runner (batch_runner.asm), assembled and embedded at build time: real-mode code
// placed once in QEMU's RAM that walks the lists of IoBatch.
#pragma once

#include <cstdint>
#include <span>

namespace qemu_pc {

std::span<const uint8_t> batchRunnerImage();

}  // namespace qemu_pc
