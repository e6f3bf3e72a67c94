// The VBE/AF accelerator driver: one device context for the accelerated mode in force,
// drawing straight into video memory through the rasterizer, and the hardware cursor
// through the card's cursor registers. An operation whose entry the card does not offer,
// or one given another context than the driver's, does nothing.
#include <algorithm>
#include <cstring>

#include "display/bus_clock.h"
#include "display/library_state.h"
#include "display/raster.h"
#include "display/reference.h"
#include "hw/dispi.h"
#include "hw/palisade_ext.h"
#include "machine/machine.h"
#include "platform/accel.h"

namespace display {

namespace {

using namespace palisade_ext;

struct Driver {
    AccelContext context{};
    AccelState state;
    uint32_t entries = 0;         // AccelCaps bits of the card
    bool active = false;
};

Driver driver;

// A nonzero tag per offered entry: the program only tests entries for presence.
uint32_t tag(uint32_t bit)
{
    return 0xAF000000u | bit;
}

void writeDispi(uint16_t index, uint16_t value)
{
    machine::current().out16(dispi::INDEX_PORT, index);
    machine::current().out16(dispi::DATA_PORT, value);
}

// The driver, when `dc` is its live context and the card offers `entry` (0: always there).
Driver* live(AccelContext* dc, uint32_t entry = 0)
{
    if (!driver.active || dc != &driver.context || !machine::hasCurrent())
        return nullptr;
    if (entry && !(driver.entries & entry))
        return nullptr;
    return &driver;
}

Surface surfaceOf(const LibraryState& lib)
{
    const FrameLayout& l = lib.writer.layout();
    Surface s;
    s.memory = machine::current().lfb();
    s.memoryBytes = machine::current().videoMemoryBytes();
    s.origin = l.origin;
    s.width = l.width;
    s.height = l.lines;
    s.bytesPerLine = l.bytesPerLine;
    s.bytesPerPixel = l.bytesPerPixel;
    return s;
}

template <class Op>
void draw(AccelContext* dc, uint32_t entry, Op&& op)
{
    Driver* d = live(dc, entry);
    LibraryState* lib = library();
    if (!d || !lib || !lib->mode.set)
        return;
    chargeBus(op(surfaceOf(*lib), d->state));
}

}  // namespace

AccelContext* startAccelerator(LibraryState& lib)
{
    stopAccelerator(lib);
    if (!modeIsAccelerated(lib, lib.mode.facts))
        return nullptr;
    driver = Driver{};
    driver.entries = lib.accelEntries;
    driver.active = true;
    AccelContext& c = driver.context;
    const uint32_t e = driver.entries;
    auto offer = [&](uint32_t& field, uint32_t bit) { field = (e & bit) ? tag(bit) : 0; };
    offer(c.setCursor, ACCEL_CAPS_SET_CURSOR);
    offer(c.setClipRect, ACCEL_CAPS_SET_CLIP_RECT);
    offer(c.drawPattScan, ACCEL_CAPS_DRAW_PATT_SCAN);
    offer(c.drawRect, ACCEL_CAPS_DRAW_RECT);
    offer(c.drawPattRect, ACCEL_CAPS_DRAW_PATT_RECT);
    offer(c.drawLine, ACCEL_CAPS_DRAW_LINE);
    offer(c.drawStippleLine, ACCEL_CAPS_DRAW_STIPPLE_LINE);
    offer(c.putMonoImage, ACCEL_CAPS_PUT_MONO_IMAGE);
    offer(c.bitBlt, ACCEL_CAPS_BIT_BLT);
    offer(c.bitBltLin, ACCEL_CAPS_BIT_BLT_LIN);
    offer(c.srcTransBlt, ACCEL_CAPS_SRC_TRANS_BLT);
    offer(c.srcTransBltLin, ACCEL_CAPS_SRC_TRANS_BLT_LIN);
    offer(c.dstTransBlt, ACCEL_CAPS_DST_TRANS_BLT);
    offer(c.dstTransBltLin, ACCEL_CAPS_DST_TRANS_BLT_LIN);
    return &driver.context;
}

void forgetAccelerator()
{
    driver.active = false;
}

void stopAccelerator(LibraryState&)
{
    if (driver.active && (driver.entries & ACCEL_CAPS_SET_CURSOR) && machine::hasCurrent())
        writeDispi(CURSOR_CONTROL, 0);
    meanCursorShown(false);
    driver.active = false;
}

}  // namespace display

using namespace display;

void AF_setMix(AccelContext* dc, int32_t foregroundMix, int32_t backgroundMix)
{
    if (Driver* d = live(dc)) {
        if (isMix(foregroundMix))
            d->state.foregroundMix = foregroundMix;
        if (isMix(backgroundMix))
            d->state.backgroundMix = backgroundMix;
    }
}

void AF_setClipRect(AccelContext* dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (Driver* d = live(dc, ACCEL_CAPS_SET_CLIP_RECT))
        d->state.clip = ClipBox{left, top, right, bottom};
}

void AF_set8x8MonoPattern(AccelContext* dc, const uint8_t* pattern)
{
    if (Driver* d = live(dc); d && pattern)
        std::memcpy(d->state.pattern, pattern, 8);
}

void AF_setLineStipple(AccelContext* dc, uint16_t stipple)
{
    if (Driver* d = live(dc))
        d->state.stipple = stipple;
}

void AF_drawRect(AccelContext* dc, uint32_t color, int32_t left, int32_t top, int32_t width, int32_t height)
{
    draw(dc, ACCEL_CAPS_DRAW_RECT,
         [&](const Surface& s, const AccelState& st) { return drawRect(s, st, color, left, top, width, height); });
}

void AF_drawPattRect(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t left, int32_t top,
                     int32_t width, int32_t height)
{
    draw(dc, ACCEL_CAPS_DRAW_PATT_RECT, [&](const Surface& s, const AccelState& st) {
        return drawPattRect(s, st, foreground, background, left, top, width, height);
    });
}

void AF_drawScan(AccelContext* dc, uint32_t color, int32_t y, int32_t x1, int32_t x2)
{
    draw(dc, 0, [&](const Surface& s, const AccelState& st) { return drawScan(s, st, color, y, x1, x2); });
}

void AF_drawPattScan(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t y, int32_t x1, int32_t x2)
{
    draw(dc, ACCEL_CAPS_DRAW_PATT_SCAN, [&](const Surface& s, const AccelState& st) {
        return drawPattScan(s, st, foreground, background, y, x1, x2);
    });
}

void AF_drawScanList(AccelContext* dc, uint32_t color, int32_t y, int32_t count, const int16_t* scans)
{
    draw(dc, 0, [&](const Surface& s, const AccelState& st) { return drawScanList(s, st, color, y, count, scans); });
}

void AF_drawTrap(AccelContext* dc, uint32_t color, int32_t y, int32_t count, int32_t x1, int32_t x2, int32_t slope1,
                 int32_t slope2)
{
    draw(dc, 0, [&](const Surface& s, const AccelState& st) {
        return drawTrap(s, st, color, y, count, x1, x2, slope1, slope2);
    });
}

void AF_drawLine(AccelContext* dc, uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    draw(dc, ACCEL_CAPS_DRAW_LINE,
         [&](const Surface& s, const AccelState& st) { return drawLine(s, st, color, x1, y1, x2, y2); });
}

void AF_drawStippleLine(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t x1, int32_t y1,
                        int32_t x2, int32_t y2)
{
    draw(dc, ACCEL_CAPS_DRAW_STIPPLE_LINE, [&](const Surface& s, const AccelState& st) {
        return drawStippleLine(s, st, foreground, background, x1, y1, x2, y2);
    });
}

void AF_putMonoImage(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t x, int32_t y,
                     int32_t bytesPerRow, int32_t rows, const uint8_t* image)
{
    draw(dc, ACCEL_CAPS_PUT_MONO_IMAGE, [&](const Surface& s, const AccelState& st) {
        return putMonoImage(s, st, foreground, background, x, y, bytesPerRow, rows, image);
    });
}

void AF_bitBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
               int32_t mix)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_CAPS_BIT_BLT, [&](const Surface& s, const AccelState& st) {
        return bitBlt(s, st, left, top, width, height, dstX, dstY, mix);
    });
}

void AF_bitBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                  int32_t mix)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_CAPS_BIT_BLT_LIN, [&](const Surface& s, const AccelState& st) {
        return bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix);
    });
}

void AF_srcTransBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX,
                    int32_t dstY, int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_CAPS_SRC_TRANS_BLT, [&](const Surface& s, const AccelState& st) {
        return bitBlt(s, st, left, top, width, height, dstX, dstY, mix, Transparency::SOURCE, transparent);
    });
}

void AF_srcTransBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width,
                       int32_t height, int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_CAPS_SRC_TRANS_BLT_LIN, [&](const Surface& s, const AccelState& st) {
        return bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix, Transparency::SOURCE, transparent);
    });
}

void AF_dstTransBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX,
                    int32_t dstY, int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_CAPS_DST_TRANS_BLT, [&](const Surface& s, const AccelState& st) {
        return bitBlt(s, st, left, top, width, height, dstX, dstY, mix, Transparency::DESTINATION, transparent);
    });
}

void AF_dstTransBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width,
                       int32_t height, int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_CAPS_DST_TRANS_BLT_LIN, [&](const Surface& s, const AccelState& st) {
        return bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix, Transparency::DESTINATION, transparent);
    });
}

void AF_setCursor(AccelContext* dc, const AF_CursorImage* cursor)
{
    if (!live(dc, ACCEL_CAPS_SET_CURSOR) || !cursor)
        return;
    writeDispi(CURSOR_IMAGE_INDEX, 0);
    auto words = [](const uint8_t* mask) {
        for (int i = 0; i < 64; ++i) writeDispi(CURSOR_IMAGE_DATA, uint16_t(mask[2 * i] << 8 | mask[2 * i + 1]));
    };
    words(cursor->firstMask);
    words(cursor->secondMask);
    const int hotX = std::clamp(cursor->hotX, 0, CURSOR_SIZE - 1);
    const int hotY = std::clamp(cursor->hotY, 0, CURSOR_SIZE - 1);
    writeDispi(CURSOR_HOTSPOT, uint16_t(hotY << 8 | hotX));
    meanCursorImage(*cursor, hotX, hotY);
}

void AF_setCursorColor(AccelContext* dc, uint8_t red, uint8_t green, uint8_t blue)
{
    if (!live(dc, ACCEL_CAPS_SET_CURSOR))
        return;
    writeDispi(CURSOR_COLOR_RG, uint16_t(red << 8 | green));
    writeDispi(CURSOR_COLOR_B, blue);
    meanCursorColor(red, green, blue);
}

void AF_setCursorPos(AccelContext* dc, int32_t x, int32_t y)
{
    if (!live(dc, ACCEL_CAPS_SET_CURSOR))
        return;
    writeDispi(CURSOR_X, uint16_t(int16_t(std::clamp(x, -32768, 32767))));
    writeDispi(CURSOR_Y, uint16_t(int16_t(std::clamp(y, -32768, 32767))));
    meanCursorPosition(x, y);
}

void AF_showCursor(AccelContext* dc, int32_t visible)
{
    if (!live(dc, ACCEL_CAPS_SET_CURSOR))
        return;
    writeDispi(CURSOR_CONTROL, visible ? 1 : 0);
    meanCursorShown(visible != 0);
}
