// The VBE/AF accelerator driver: one device context for the accelerated mode in force,
// drawing and the hardware cursor through the card's accelerator back end. An operation
// whose entry the card does not offer, or one given another context than the driver's,
// does nothing.
#include <algorithm>
#include <cstring>

#include "display/accel_backend.h"
#include "display/bus_clock.h"
#include "display/library_state.h"
#include "display/meant_memory.h"
#include "display/reference.h"
#include "display/screen_contents.h"
#include "platform/accel.h"

namespace display {

namespace {

struct Driver {
    AccelContext context{};
    AccelState state;
    AccelBackend* backend = nullptr;  // the card's, kept by the library state
    uint32_t entries = 0;             // AccelEntry bits the back end offers
    bool active = false;
};

Driver driver;

// A nonzero tag per offered entry: the program only tests entries for presence.
uint32_t tag(uint32_t bit)
{
    return 0xAF000000u | bit;
}

// The driver, when `dc` is its live context and the card offers `entry` (0: always there).
Driver* live(AccelContext* dc, uint32_t entry = 0)
{
    if (!driver.active || dc != &driver.context || !bus())
        return nullptr;
    if (entry && !(driver.entries & entry))
        return nullptr;
    return &driver;
}

Surface surfaceOf(const LibraryState& lib)
{
    const FrameLayout& l = lib.writer.layout();
    Surface s;
    s.memory = lib.framebuffer;
    s.memoryBytes = lib.videoMemoryBytes;
    s.origin = l.origin;
    s.width = l.width;
    s.height = l.lines;
    s.bytesPerLine = l.bytesPerLine;
    s.bytesPerPixel = l.bytesPerPixel;
    return s;
}

// Drawing as the accelerator functions define it: the back ends' software defaults.
class SoftwareDrawing final : public AccelBackend {
public:
    uint32_t entries() const override { return 0; }
};

// An operation that draws in the state's foreground mix, not in a mix of its own.
constexpr int32_t KEEP_MIX = -1;

// The card's back end draws; the meant copy of video memory, when kept, gets what the
// operation means, whichever way the card's engine carried it out. The screen's record notes
// the operation by name with the mix it drew in, and the clip it was drawn under.

template <class Op>
void draw(AccelContext* dc, uint32_t entry, const char* name, int32_t mix, Op&& op)
{
    Driver* d = live(dc, entry);
    LibraryState* lib = library();
    if (!d || !lib || !lib->mode.set)
        return;
    const Surface card = surfaceOf(*lib);
    const ClipBox clip = effectiveClip(card, d->state);
    contentsClip(clip.left > 0 || clip.top > 0 || clip.right < card.width - 1 || clip.bottom < card.height - 1,
                 int32_t(clip.left), int32_t(clip.top), int32_t(clip.right), int32_t(clip.bottom));
    contentsOperation(name, mix == KEEP_MIX ? d->state.foregroundMix : mix);
    chargeBus(op(*d->backend, card, d->state));
    if (uint8_t* memory = meantMemory()) {
        static SoftwareDrawing software;
        Surface meant = card;
        meant.memory = memory;
        meant.memoryBytes = std::min<uint64_t>(card.memoryBytes, meantMemoryBytes());
        op(software, meant, d->state);
    }
}

}  // namespace

AccelContext* startAccelerator(LibraryState& lib)
{
    stopAccelerator(lib);
    if (!modeIsAccelerated(lib, lib.mode.facts))
        return nullptr;
    driver = Driver{};
    driver.backend = lib.accel.get();
    driver.entries = driver.backend->entries();
    driver.active = true;
    AccelContext& c = driver.context;
    const uint32_t e = driver.entries;
    auto offer = [&](uint32_t& field, uint32_t bit) { field = (e & bit) ? tag(bit) : 0; };
    offer(c.setCursor, ACCEL_SET_CURSOR);
    offer(c.setClipRect, ACCEL_SET_CLIP_RECT);
    offer(c.drawPattScan, ACCEL_DRAW_PATT_SCAN);
    offer(c.drawRect, ACCEL_DRAW_RECT);
    offer(c.drawPattRect, ACCEL_DRAW_PATT_RECT);
    offer(c.drawLine, ACCEL_DRAW_LINE);
    offer(c.drawStippleLine, ACCEL_DRAW_STIPPLE_LINE);
    offer(c.putMonoImage, ACCEL_PUT_MONO_IMAGE);
    offer(c.bitBlt, ACCEL_BIT_BLT);
    offer(c.bitBltLin, ACCEL_BIT_BLT_LIN);
    offer(c.srcTransBlt, ACCEL_SRC_TRANS_BLT);
    offer(c.srcTransBltLin, ACCEL_SRC_TRANS_BLT_LIN);
    offer(c.dstTransBlt, ACCEL_DST_TRANS_BLT);
    offer(c.dstTransBltLin, ACCEL_DST_TRANS_BLT_LIN);
    return &driver.context;
}

void forgetAccelerator()
{
    driver.active = false;
}

void stopAccelerator(LibraryState&)
{
    if (driver.active && (driver.entries & ACCEL_SET_CURSOR) && bus())
        driver.backend->showCursor(false);
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
    if (Driver* d = live(dc, ACCEL_SET_CLIP_RECT))
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
    // A rectangle over the whole screen in the replace mix is a clear: a new screen begins.
    if (Driver* d = live(dc, ACCEL_DRAW_RECT); d && d->state.foregroundMix == AF_REPLACE_MIX && left <= 0 && top <= 0)
        if (const LibraryState* lib = library(); lib && lib->mode.set &&
                                                 int64_t(left) + width >= lib->mode.facts.width &&
                                                 int64_t(top) + height >= lib->mode.facts.height)
            contentsCleared();
    draw(dc, ACCEL_DRAW_RECT, "AF_drawRect", KEEP_MIX, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.drawRect(s, st, color, left, top, width, height);
    });
}

void AF_drawPattRect(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t left, int32_t top,
                     int32_t width, int32_t height)
{
    draw(dc, ACCEL_DRAW_PATT_RECT, "AF_drawPattRect", KEEP_MIX,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) {
             return b.drawPattRect(s, st, foreground, background, left, top, width, height);
         });
}

void AF_drawScan(AccelContext* dc, uint32_t color, int32_t y, int32_t x1, int32_t x2)
{
    draw(dc, 0, "AF_drawScan", KEEP_MIX,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) { return b.drawScan(s, st, color, y, x1, x2); });
}

void AF_drawPattScan(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t y, int32_t x1, int32_t x2)
{
    draw(dc, ACCEL_DRAW_PATT_SCAN, "AF_drawPattScan", KEEP_MIX,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) {
             return b.drawPattScan(s, st, foreground, background, y, x1, x2);
         });
}

void AF_drawScanList(AccelContext* dc, uint32_t color, int32_t y, int32_t count, const int16_t* scans)
{
    draw(dc, 0, "AF_drawScanList", KEEP_MIX, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.drawScanList(s, st, color, y, count, scans);
    });
}

void AF_drawTrap(AccelContext* dc, uint32_t color, int32_t y, int32_t count, int32_t x1, int32_t x2, int32_t slope1,
                 int32_t slope2)
{
    draw(dc, 0, "AF_drawTrap", KEEP_MIX, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.drawTrap(s, st, color, y, count, x1, x2, slope1, slope2);
    });
}

void AF_drawLine(AccelContext* dc, uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    draw(dc, ACCEL_DRAW_LINE, "AF_drawLine", KEEP_MIX, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.drawLine(s, st, color, x1, y1, x2, y2);
    });
}

void AF_drawStippleLine(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t x1, int32_t y1, int32_t x2,
                        int32_t y2)
{
    draw(dc, ACCEL_DRAW_STIPPLE_LINE, "AF_drawStippleLine", KEEP_MIX,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) {
             return b.drawStippleLine(s, st, foreground, background, x1, y1, x2, y2);
         });
}

void AF_putMonoImage(AccelContext* dc, uint32_t foreground, uint32_t background, int32_t x, int32_t y,
                     int32_t bytesPerRow, int32_t rows, const uint8_t* image)
{
    draw(dc, ACCEL_PUT_MONO_IMAGE, "AF_putMonoImage", KEEP_MIX,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) {
             return b.putMonoImage(s, st, foreground, background, x, y, bytesPerRow, rows, image);
         });
}

void AF_bitBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
               int32_t mix)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_BIT_BLT, "AF_bitBlt", mix, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.bitBlt(s, st, left, top, width, height, dstX, dstY, mix, Transparency::NONE, 0);
    });
}

void AF_bitBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                  int32_t mix)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_BIT_BLT_LIN, "AF_bitBltLin", mix, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix, Transparency::NONE, 0);
    });
}

void AF_srcTransBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX,
                    int32_t dstY, int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_SRC_TRANS_BLT, "AF_srcTransBlt", mix, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.bitBlt(s, st, left, top, width, height, dstX, dstY, mix, Transparency::SOURCE, transparent);
    });
}

void AF_srcTransBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                       int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_SRC_TRANS_BLT_LIN, "AF_srcTransBltLin", mix,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) {
             return b.bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix, Transparency::SOURCE, transparent);
         });
}

void AF_dstTransBlt(AccelContext* dc, int32_t left, int32_t top, int32_t width, int32_t height, int32_t dstX,
                    int32_t dstY, int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_DST_TRANS_BLT, "AF_dstTransBlt", mix, [&](AccelBackend& b, const Surface& s, const AccelState& st) {
        return b.bitBlt(s, st, left, top, width, height, dstX, dstY, mix, Transparency::DESTINATION, transparent);
    });
}

void AF_dstTransBltLin(AccelContext* dc, int32_t srcOffset, int32_t dstX, int32_t dstY, int32_t width, int32_t height,
                       int32_t mix, uint32_t transparent)
{
    if (!isMix(mix))
        return;
    draw(dc, ACCEL_DST_TRANS_BLT_LIN, "AF_dstTransBltLin", mix,
         [&](AccelBackend& b, const Surface& s, const AccelState& st) {
             return b.bitBltLin(s, st, srcOffset, dstX, dstY, width, height, mix, Transparency::DESTINATION,
                                transparent);
         });
}

void AF_setCursor(AccelContext* dc, const AF_CursorImage* cursor)
{
    if (Driver* d = live(dc, ACCEL_SET_CURSOR); d && cursor) {
        d->backend->setCursorImage(*cursor);
        meanCursorImage(*cursor);
    }
}

void AF_setCursorColor(AccelContext* dc, uint8_t red, uint8_t green, uint8_t blue)
{
    if (Driver* d = live(dc, ACCEL_SET_CURSOR)) {
        d->backend->setCursorColor(red, green, blue);
        meanCursorColor(red, green, blue);
    }
}

void AF_setCursorPos(AccelContext* dc, int32_t x, int32_t y)
{
    if (Driver* d = live(dc, ACCEL_SET_CURSOR)) {
        d->backend->setCursorPosition(x, y);
        meanCursorPosition(x, y);
    }
}

void AF_showCursor(AccelContext* dc, int32_t visible)
{
    if (Driver* d = live(dc, ACCEL_SET_CURSOR)) {
        d->backend->showCursor(visible != 0);
        meanCursorShown(visible != 0);
    }
}
