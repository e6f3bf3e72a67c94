// SHA-256 of a file, so that a report names the exact ROM a run tested.
#pragma once

#include <string>

namespace desktop {

// The digest of the bytes, as 64 lower-case hex digits.
std::string sha256Hex(const std::string& bytes);

// The digest of the file's contents; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

}  // namespace desktop
