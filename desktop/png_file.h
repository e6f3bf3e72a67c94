// A picture written as a PNG file.
#pragma once

#include <string>

#include "desktop/canvas.h"

namespace desktop {

// Writes picture as an 8-bit RGB PNG into a new file: an existing file or link of that name
// is left alone and refused. Throws std::runtime_error naming the file when it cannot be
// written whole, and leaves no part of it behind.
void writePng(const std::string& path, const Picture& picture);

// Writes picture as STEM-NNNN.png in folder, NNNN the first number whose name is free
// (never over a file, never through a link), and returns its path. Throws like writePng.
std::string writeNumberedPng(const std::string& folder, const std::string& stem, const Picture& picture);

}  // namespace desktop
