// A picture written by the program (a PNG shot), read back as RGB pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// 0xRRGGBB per pixel, rows top to bottom; width 0 when nothing could be read.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The components of a 0xRRGGBB pixel, and white as the program's pictures draw it.
inline uint8_t red(uint32_t c)
{
    return static_cast<uint8_t>(c >> 16);
}
inline uint8_t green(uint32_t c)
{
    return static_cast<uint8_t>(c >> 8);
}
inline uint8_t blue(uint32_t c)
{
    return static_cast<uint8_t>(c);
}
inline bool isWhite(uint32_t c)
{
    return red(c) >= 0xF0 && green(c) >= 0xF0 && blue(c) >= 0xF0;
}

// Pixels of the outermost rows and columns that are not white (the test screens' border).
int notWhiteOnBorder(const Picture& picture);

// Throws std::runtime_error saying why when the file is missing or not a PNG.
Picture readPng(const std::string& path);

// The same without throwing: an empty picture, and `error` says why.
Picture readPng(const std::string& path, std::string& error);

}  // namespace harness
