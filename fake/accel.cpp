// The fake accelerator driver: every operation is logged with its arguments after the context.
#include <cstring>

#include "fake/fake.h"

using fake::log;

void AF_setMix(AccelContext*, int32_t foregroundMix, int32_t backgroundMix)
{
    log("AF_setMix", {foregroundMix, backgroundMix});
}

void AF_setClipRect(AccelContext*, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    log("AF_setClipRect", {left, top, right, bottom});
}

void AF_set8x8MonoPattern(AccelContext*, const uint8_t* pattern)
{
    log("AF_set8x8MonoPattern", std::vector<int64_t>(pattern, pattern + 8));
}

void AF_setLineStipple(AccelContext*, uint16_t stipple)
{
    log("AF_setLineStipple", {stipple});
}

void AF_drawRect(AccelContext*, uint32_t color, int32_t left, int32_t top, int32_t width, int32_t height)
{
    log("AF_drawRect", {color, left, top, width, height});
}

void AF_drawPattRect(AccelContext*, uint32_t foreground, uint32_t background, int32_t left, int32_t top, int32_t width,
                     int32_t height)
{
    log("AF_drawPattRect", {foreground, background, left, top, width, height});
}

void AF_drawScan(AccelContext*, uint32_t color, int32_t y, int32_t x1, int32_t x2)
{
    log("AF_drawScan", {color, y, x1, x2});
}

void AF_drawPattScan(AccelContext*, uint32_t foreground, uint32_t background, int32_t y, int32_t x1, int32_t x2)
{
    log("AF_drawPattScan", {foreground, background, y, x1, x2});
}

void AF_drawScanList(AccelContext*, uint32_t color, int32_t y, int32_t count, const int16_t* scans)
{
    std::vector<int64_t> args{color, y, count};
    for (int32_t i = 0; i < 2 * count; ++i)
        args.push_back(scans[i]);
    log("AF_drawScanList", args);
}

void AF_drawTrap(AccelContext*, uint32_t color, int32_t y, int32_t count, int32_t x1, int32_t x2, int32_t slope1,
                 int32_t slope2)
{
    log("AF_drawTrap", {color, y, count, x1, x2, slope1, slope2});
}

void AF_drawLine(AccelContext*, uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    log("AF_drawLine", {color, x1, y1, x2, y2});
}

void AF_drawStippleLine(AccelContext*, uint32_t foreground, uint32_t background, int32_t x1, int32_t y1, int32_t x2,
                        int32_t y2)
{
    log("AF_drawStippleLine", {foreground, background, x1, y1, x2, y2});
}

void AF_putMonoImage(AccelContext*, uint32_t foreground, uint32_t background, int32_t x, int32_t y, int32_t bytesPerRow,
                     int32_t rows, const uint8_t* image)
{
    std::vector<int64_t> args{foreground, background, x, y, bytesPerRow, rows};
    log("AF_putMonoImage", args, std::string(reinterpret_cast<const char*>(image), bytesPerRow * rows));
}

void AF_bitBlt(AccelContext*, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
               int32_t mix)
{
    log("AF_bitBlt", {left, top, width, height, dstX, dstY, mix});
}

void AF_bitBltLin(AccelContext*, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                  int32_t mix)
{
    log("AF_bitBltLin", {srcOffset, dstX, dstY, width, height, mix});
}

void AF_srcTransBlt(AccelContext*, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
                    int32_t mix, uint32_t transparent)
{
    log("AF_srcTransBlt", {left, top, width, height, dstX, dstY, mix, transparent});
}

void AF_srcTransBltLin(AccelContext*, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                       int32_t mix, uint32_t transparent)
{
    log("AF_srcTransBltLin", {srcOffset, dstX, dstY, width, height, mix, transparent});
}

void AF_dstTransBlt(AccelContext*, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
                    int32_t mix, uint32_t transparent)
{
    log("AF_dstTransBlt", {left, top, width, height, dstX, dstY, mix, transparent});
}

void AF_dstTransBltLin(AccelContext*, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                       int32_t mix, uint32_t transparent)
{
    log("AF_dstTransBltLin", {srcOffset, dstX, dstY, width, height, mix, transparent});
}

void AF_setCursor(AccelContext*, const AF_CursorImage* cursor)
{
    log("AF_setCursor", {cursor->hotX, cursor->hotY},
        std::string(reinterpret_cast<const char*>(cursor), sizeof(AF_CursorImage)));
}

void AF_setCursorColor(AccelContext*, uint8_t red, uint8_t green, uint8_t blue)
{
    log("AF_setCursorColor", {red, green, blue});
}

void AF_setCursorPos(AccelContext*, int32_t x, int32_t y)
{
    log("AF_setCursorPos", {x, y});
}

void AF_showCursor(AccelContext*, int32_t visible)
{
    log("AF_showCursor", {visible});
}
