#include "desktop/canvas.h"

#include <algorithm>

namespace desktop {

void Canvas::pixel(int x, int y, uint32_t color)
{
    if (x < 0 || y < 0 || x >= picture_.width || y >= picture_.height)
        return;
    picture_.pixels[size_t(y) * size_t(picture_.width) + size_t(x)] = color;
}

uint32_t Canvas::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= picture_.width || y >= picture_.height)
        return 0;
    return picture_.pixels[size_t(y) * size_t(picture_.width) + size_t(x)];
}

void Canvas::blend(int x, int y, uint32_t color, int coverage)
{
    if (coverage <= 0 || x < 0 || y < 0 || x >= picture_.width || y >= picture_.height)
        return;
    if (coverage >= 255) {
        pixel(x, y, color);
        return;
    }
    const uint32_t under = at(x, y);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = int((color >> shift) & 0xFF);
        const int b = int((under >> shift) & 0xFF);
        out |= uint32_t((a * coverage + b * (255 - coverage) + 127) / 255) << shift;
    }
    pixel(x, y, out);
}

void Canvas::fill(int x, int y, int w, int h, uint32_t color)
{
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + w, picture_.width);
    const int y1 = std::min(y + h, picture_.height);
    for (int row = y0; row < y1; ++row)
        std::fill_n(picture_.pixels.begin() + ptrdiff_t(row) * picture_.width + x0, std::max(0, x1 - x0), color);
}

void Canvas::hline(int x, int y, int w, uint32_t color)
{
    fill(x, y, w, 1, color);
}
void Canvas::vline(int x, int y, int h, uint32_t color)
{
    fill(x, y, 1, h, color);
}

void Canvas::frame(int x, int y, int w, int h, uint32_t color)
{
    bevel(x, y, w, h, color, color);
}

void Canvas::bevel(int x, int y, int w, int h, uint32_t topLeft, uint32_t bottomRight)
{
    if (w <= 0 || h <= 0)
        return;
    hline(x, y, w - 1, topLeft);
    vline(x, y, h - 1, topLeft);
    hline(x, y + h - 1, w, bottomRight);
    vline(x + w - 1, y, h, bottomRight);
}

void Canvas::dottedFrame(int x, int y, int w, int h, uint32_t color)
{
    for (int i = 0; i < w; i += 2) {
        pixel(x + i, y, color);
        pixel(x + i, y + h - 1, color);
    }
    for (int i = 0; i < h; i += 2) {
        pixel(x, y + i, color);
        pixel(x + w - 1, y + i, color);
    }
}

void Canvas::blit(const Picture& source, int x, int y)
{
    for (int row = 0; row < source.height; ++row)
        for (int col = 0; col < source.width; ++col)
            pixel(x + col, y + row, source.pixels[size_t(row) * size_t(source.width) + size_t(col)]);
}

}  // namespace desktop
