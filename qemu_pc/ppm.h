// Reading a binary PPM (P6, 8 bits per component), the format of QEMU's screendump.
#pragma once

#include <string>

#include "pc/pc.h"

namespace qemu_pc {

// False when the file cannot be read or is not such a PPM.
bool readPpm(const std::string& file, pc::Picture& picture);

}  // namespace qemu_pc
