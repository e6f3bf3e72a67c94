// An RGB drawing surface for the desktop: the monitor picture the dialogs are drawn into.
#pragma once

#include <cstdint>

#include "pc/pc.h"

namespace desktop {

using Picture = pc::Picture;

constexpr uint32_t rgb(int r, int g, int b)
{
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

class Canvas {
public:
    explicit Canvas(Picture& picture) : picture_(picture) {}
    int width() const { return picture_.width; }
    int height() const { return picture_.height; }

    void pixel(int x, int y, uint32_t color);
    uint32_t at(int x, int y) const;
    // Blends color over the pixel by coverage 0-255 (text edges).
    void blend(int x, int y, uint32_t color, int coverage);
    void fill(int x, int y, int w, int h, uint32_t color);
    void hline(int x, int y, int w, uint32_t color);
    void vline(int x, int y, int h, uint32_t color);
    void frame(int x, int y, int w, int h, uint32_t color);
    // Top and left edges in one colour, bottom and right in the other: the 3-D bevel.
    void bevel(int x, int y, int w, int h, uint32_t topLeft, uint32_t bottomRight);
    // Alternate pixels, as the focus rectangle is drawn.
    void dottedFrame(int x, int y, int w, int h, uint32_t color);
    void blit(const Picture& source, int x, int y);

private:
    Picture& picture_;
};

}  // namespace desktop
