// Whole-number placement of the monitor picture in the window.
#include "desktop/window_fit.h"

#include <algorithm>

namespace desktop {

Placement placePicture(int width, int height, int areaWidth, int areaHeight)
{
    Placement p;
    if (width <= 0 || height <= 0)
        return p;
    p.zoom = std::max(1, std::min(areaWidth / width, areaHeight / height));
    if (p.zoom == 1)
        while ((width + p.shrink - 1) / p.shrink > areaWidth || (height + p.shrink - 1) / p.shrink > areaHeight) {
            if (p.shrink >= std::max(width, height))
                break;
            ++p.shrink;
        }
    p.width = (width + p.shrink - 1) / p.shrink * p.zoom;
    p.height = (height + p.shrink - 1) / p.shrink * p.zoom;
    p.x = std::max(0, (areaWidth - p.width) / 2);
    p.y = std::max(0, (areaHeight - p.height) / 2);
    return p;
}

bool pictureAt(const Placement& placement, int windowX, int windowY, int& x, int& y)
{
    if (windowX < placement.x || windowY < placement.y || windowX >= placement.x + placement.width ||
        windowY >= placement.y + placement.height)
        return false;
    x = (windowX - placement.x) / placement.zoom * placement.shrink;
    y = (windowY - placement.y) / placement.zoom * placement.shrink;
    return true;
}

void shrinkPicture(const Picture& picture, int shrink, Picture& shown)
{
    shown.width = (picture.width + shrink - 1) / shrink;
    shown.height = (picture.height + shrink - 1) / shrink;
    shown.bitsPerPixel = picture.bitsPerPixel;
    shown.pixels.resize(size_t(shown.width) * size_t(shown.height));
    for (int sy = 0; sy < shown.height; ++sy)
        for (int sx = 0; sx < shown.width; ++sx) {
            uint32_t r = 0, g = 0, b = 0, n = 0;
            for (int y = sy * shrink; y < std::min(picture.height, (sy + 1) * shrink); ++y)
                for (int x = sx * shrink; x < std::min(picture.width, (sx + 1) * shrink); ++x) {
                    const uint32_t c = picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
                    r += (c >> 16) & 0xFF;
                    g += (c >> 8) & 0xFF;
                    b += c & 0xFF;
                    ++n;
                }
            shown.pixels[size_t(sy) * size_t(shown.width) + size_t(sx)] =
                rgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
        }
}

}  // namespace desktop
