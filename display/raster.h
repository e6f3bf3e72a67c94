// The accelerator's rasterizer: every VBE/AF drawing operation over a plain surface in
// memory. All drawing is limited to the clip rectangle, the screen and the memory behind
// the surface, whatever the coordinates; each operation returns the bytes of video memory
// it touched (read or written), which the driver charges to the bus.
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/line_walk.h"

namespace display {

// Video memory as the accelerator sees it. Pixel (x, y) of the screen lives at byte
// origin + y * bytesPerLine + x * bytesPerPixel of memory, little-endian.
struct Surface {
    uint8_t* memory = nullptr;
    size_t memoryBytes = 0;
    size_t origin = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerLine = 0;
    int32_t bytesPerPixel = 1;
};

// One pixel of BPP bytes at p, little-endian.
template <int BPP>
inline void storePixel(uint8_t* p, uint32_t color)
{
    for (int k = 0; k < BPP; ++k)
        p[k] = uint8_t(color >> (8 * k));
}

// Mix codes: how a source colour combines with the pixel already there.
enum Mix : int32_t { MIX_REPLACE = 0, MIX_AND = 1, MIX_OR = 2, MIX_XOR = 3, MIX_NOP = 4 };
bool isMix(int32_t code);

// State the operations share, set by the driver's set-up calls.
struct AccelState {
    int32_t foregroundMix = MIX_REPLACE;
    int32_t backgroundMix = MIX_REPLACE;
    ClipBox clip{0, 0, INT32_MAX, INT32_MAX};                               // inclusive; intersected with the screen
    uint8_t pattern[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // MSB leftmost
    uint16_t stipple = 0xFFFF;  // bit (k mod 16) for the k-th pixel of a line
};

// The clip rectangle in force: the state's, cut to the screen.
ClipBox effectiveClip(const Surface& surface, const AccelState& state);

// A rectangle cut to the clip in force: columns x1 up to x2 and rows y1 up to y2, exclusive.
struct PixelBox {
    int64_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
bool cutRect(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
             PixelBox& box);

// A copy cut to the clip (and, for a screen source, to the screen) and to the line length:
// the source's first byte in video memory, the destination's first pixel and the size.
struct CopyArea {
    int64_t srcStart = 0, dstX = 0, dstY = 0, width = 0, height = 0;
};
bool cutScreenCopy(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
                   int64_t dstX, int64_t dstY, CopyArea& area);
bool cutLinearCopy(const Surface& s, const AccelState& st, int64_t srcOffset, int64_t dstX, int64_t dstY, int64_t width,
                   int64_t height, CopyArea& area);

// Solid fills, in the foreground mix. Scans run from x1 up to x2 exclusive (swapped when
// given backwards); rectangles are left, top, width, height.
uint64_t drawRect(const Surface& s, const AccelState& st, uint32_t color, int64_t left, int64_t top, int64_t width,
                  int64_t height);
uint64_t drawScan(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t x1, int64_t x2);
// Trapezoid: count lines from y; on each, the span from round(x1) to round(x2) exclusive,
// then the edges move by their slopes. All four are 16.16.
uint64_t drawTrap(const Surface& s, const AccelState& st, uint32_t color, int64_t y, int64_t count, int32_t x1,
                  int32_t x2, int32_t slope1, int32_t slope2);

// Pattern fills: set pattern bits in the foreground colour and mix, clear bits in the
// background colour and mix. The pattern is aligned to the screen: row y & 7, bit x & 7.
uint64_t drawPattRect(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t left, int64_t top,
                      int64_t width, int64_t height);
uint64_t drawPattScan(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t y, int64_t x1,
                      int64_t x2);

// Lines between 16.16 end points, rounded to the nearest pixel, both ends drawn. The solid
// line uses the foreground mix; the stippled one paints set stipple bits in the foreground
// colour and mix, clear bits in the background colour and mix.
uint64_t drawLine(const Surface& s, const AccelState& st, uint32_t color, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2);
uint64_t drawStippleLine(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int32_t x1, int32_t y1,
                         int32_t x2, int32_t y2);
// The same on integer pixel coordinates (the display library's own lines).
uint64_t drawPixelLine(const Surface& s, const AccelState& st, uint32_t color, int64_t x1, int64_t y1, int64_t x2,
                       int64_t y2);

// A 1-bit image, rows top first, each byte's most significant bit leftmost.
uint64_t putMonoImage(const Surface& s, const AccelState& st, uint32_t fg, uint32_t bg, int64_t x, int64_t y,
                      int64_t bytesPerRow, int64_t rows, const uint8_t* image);

// Copies inside video memory, correct when source and destination overlap. The screen
// copy's source is a rectangle of the screen; the linear copy's source starts at a byte
// offset from the start of video memory and has the screen's bytes per line.
enum class Transparency { NONE, SOURCE, DESTINATION };
uint64_t bitBlt(const Surface& s, const AccelState& st, int64_t left, int64_t top, int64_t width, int64_t height,
                int64_t dstX, int64_t dstY, int32_t mix, Transparency mode = Transparency::NONE,
                uint32_t transparent = 0);
uint64_t bitBltLin(const Surface& s, const AccelState& st, int64_t srcOffset, int64_t dstX, int64_t dstY, int64_t width,
                   int64_t height, int32_t mix, Transparency mode = Transparency::NONE, uint32_t transparent = 0);

}  // namespace display
