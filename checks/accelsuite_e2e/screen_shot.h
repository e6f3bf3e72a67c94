// A PNG picture written by a headless run, read back as 0xRRGGBB pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace accele2e {

struct ScreenShot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;   // 0xRRGGBB, rows top to bottom

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Empty (width 0) when the file is missing or not a PNG; `error` says why.
ScreenShot loadScreenShot(const std::string& path, std::string& error);

}  // namespace accele2e
