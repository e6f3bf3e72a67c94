#include "display/palette.h"

#include <array>

namespace display {

namespace {

// Six-bit VGA levels widened to eight bits the way an 8-bit DAC reads them back.
uint8_t widen(int v6)
{
    return uint8_t((v6 << 2) | (v6 >> 4));
}

PaletteEntry rgb6(int r, int g, int b)
{
    return PaletteEntry{widen(b), widen(g), widen(r), 0};
}

std::array<PaletteEntry, 256> build()
{
    std::array<PaletteEntry, 256> p{};
    static const int ega[16][3] = {{0x00, 0x00, 0x00}, {0x00, 0x00, 0x2A}, {0x00, 0x2A, 0x00}, {0x00, 0x2A, 0x2A},
                                   {0x2A, 0x00, 0x00}, {0x2A, 0x00, 0x2A}, {0x2A, 0x15, 0x00}, {0x2A, 0x2A, 0x2A},
                                   {0x15, 0x15, 0x15}, {0x15, 0x15, 0x3F}, {0x15, 0x3F, 0x15}, {0x15, 0x3F, 0x3F},
                                   {0x3F, 0x15, 0x15}, {0x3F, 0x15, 0x3F}, {0x3F, 0x3F, 0x15}, {0x3F, 0x3F, 0x3F}};
    for (int i = 0; i < 16; ++i)
        p[i] = rgb6(ega[i][0], ega[i][1], ega[i][2]);
    static const int grey[16] = {0x00, 0x05, 0x08, 0x0B, 0x0E, 0x11, 0x14, 0x18,
                                 0x1C, 0x20, 0x24, 0x28, 0x2D, 0x32, 0x38, 0x3F};
    for (int i = 0; i < 16; ++i)
        p[16 + i] = rgb6(grey[i], grey[i], grey[i]);
    // Each hue circle walks blue -> magenta -> red -> yellow -> green -> cyan -> blue over
    // five levels from low to high.
    static const int levels[9][5] = {
        {0x00, 0x10, 0x1F, 0x2F, 0x3F}, {0x1F, 0x27, 0x2F, 0x37, 0x3F}, {0x2D, 0x31, 0x36, 0x3A, 0x3F},
        {0x00, 0x07, 0x0E, 0x15, 0x1C}, {0x0E, 0x11, 0x15, 0x18, 0x1C}, {0x14, 0x16, 0x18, 0x1A, 0x1C},
        {0x00, 0x04, 0x08, 0x0C, 0x10}, {0x08, 0x0A, 0x0C, 0x0E, 0x10}, {0x0B, 0x0C, 0x0D, 0x0F, 0x10}};
    int n = 32;
    for (const auto& l : levels) {
        const int lo = l[0], hi = l[4];
        for (int k = 0; k < 4; ++k)
            p[n++] = rgb6(l[k], lo, hi);  // red rises
        for (int k = 4; k > 0; --k)
            p[n++] = rgb6(hi, lo, l[k]);  // blue falls
        for (int k = 0; k < 4; ++k)
            p[n++] = rgb6(hi, l[k], lo);  // green rises
        for (int k = 4; k > 0; --k)
            p[n++] = rgb6(l[k], hi, lo);  // red falls
        for (int k = 0; k < 4; ++k)
            p[n++] = rgb6(lo, hi, l[k]);  // blue rises
        for (int k = 4; k > 0; --k)
            p[n++] = rgb6(lo, l[k], hi);  // green falls
    }
    return p;  // 248-255 stay black
}

}  // namespace

const PaletteEntry* defaultPalette()
{
    static const std::array<PaletteEntry, 256> palette = build();
    return palette.data();
}

uint32_t nearestDefaultColor(int red, int green, int blue, int count)
{
    const PaletteEntry* p = defaultPalette();
    uint32_t best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count && i < 256; ++i) {
        long dr = p[i].red - red, dg = p[i].green - green, db = p[i].blue - blue;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = uint32_t(i);
        }
    }
    return best;
}

}  // namespace display
