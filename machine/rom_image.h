// Reading a video BIOS image from disk and judging whether it can be one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace machine {

// The image's bytes, trimmed to the size its header declares. Throws MachineError with a
// one-line reason (missing file with the package that ships it, no 55AA, bad size, bad checksum).
std::vector<uint8_t> loadVideoRom(const std::string& path, const std::string& package);

}  // namespace machine
