// A picture written as a PNG file.
#pragma once

#include <string>

#include "desktop/canvas.h"

namespace desktop {

// Writes picture as an 8-bit RGB PNG into a new file: an existing file or link of that name
// is left alone and refused. Throws std::runtime_error naming the file when it cannot be
// written whole, and leaves no part of it behind.
void writePng(const std::string& path, const Picture& picture);

}  // namespace desktop
