// Palisade's code in QEMU's RAM (guest_code.asm), assembled and embedded at build time: the
// call stub, which leaves a call's registers in RAM, and the batch runner, which walks the
// lists of IoBatch. Placed once at its own address, INT_STUB.
#pragma once

#include <cstdint>
#include <span>

namespace qemu_pc {

std::span<const uint8_t> guestCodeImage();

}  // namespace qemu_pc
