// QEMU's gdbstub or QMP refused a request, or stopped answering within its bound.
#pragma once

#include <stdexcept>

namespace qemu_pc {

struct LinkError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace qemu_pc
