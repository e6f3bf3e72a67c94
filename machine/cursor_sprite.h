// A hardware cursor as the scan-out draws it over the picture: a square of pixels, some of
// them transparent, placed by its top-left corner (which may lie off the picture).
#pragma once

#include <cstdint>
#include <vector>

namespace machine {

struct CursorSprite {
    static constexpr uint32_t TRANSPARENT = 0xFF000000;  // not a colour: pixels are 0x00RRGGBB
    int left = 0, top = 0;
    int size = 0;
    std::vector<uint32_t> pixels;  // size x size, row by row
};

}  // namespace machine
