// QEMU's PC behind the PC interface: qemu-system-i386 with the card and ROM the machine
// description names, booted by SeaBIOS up to the boot sector and stopped at 0000:7C00 before
// any boot code runs; from then on its CPU is driven from here through the gdbstub, and its
// pictures are QEMU's own screendumps.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pc/pc.h"

namespace qemu_pc {

// Starts QEMU and brings it to the stopped boot sector; throws pc::MachineError with one line
// (QEMU missing, a card or ROM QEMU will not start with, a gdbstub that does not answer), and
// then no QEMU process is left.
std::unique_ptr<pc::Pc> bootQemu(const pc::MachineConfig& config, pc::Clock& clock,
                                 std::function<void(const std::string&)> ioLog);

}  // namespace qemu_pc
