// Virtual scrolling: the scan lines are widened as far as video memory allows, the display
// pans around the border of the wider screen, then scrolls down and up through video memory.
#include "tests/virtual_scroll.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "app/globals.h"
#include "platform/display.h"
#include "tests/moire.h"
#include "tests/test_run.h"

namespace {

constexpr int32_t STATUS_X = 20, STATUS_Y = 40, PROMPT_Y = 60;
constexpr uint32_t STEP_MICROSECONDS = 1000;  // one tick of the millisecond clock

// Pixels per kilobyte of video memory at each depth; 0 for a depth the mode list never offers,
// which leaves the scan lines as they are.
int32_t pixelsPerKb(int32_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 4: return 2048;
    case 8: return 1024;
    case 15:
    case 16: return 512;
    case 24: return 341;  // 1024 / 3, rounded down
    case 32: return 256;
    default: return 0;
    }
}

// The widest scan line, in pixels, that leaves room for the screen's height in video memory.
int32_t widestScanLine(const DisplayContext& dc)
{
    const int64_t lines = static_cast<int64_t>(dc.maxY) + 1;
    if (lines <= 0)
        return 0;
    const int64_t widest = static_cast<int64_t>(dc.videoMemoryKb) * pixelsPerKb(dc.bitsPerPixel) / lines;
    return static_cast<int32_t>(std::clamp<int64_t>(widest, 0, INT32_MAX));
}

// Moves the display start; false once a key or button is waiting, which is left queued.
bool scrollStep(int32_t x, int32_t y)
{
    VBE_setDisplayStart(x, y, 0);
    delay(STEP_MICROSECONDS);
    return !eventPending();
}

// One leg of a scroll, both ends included; false when an event stopped it.
bool scrollX(int32_t from, int32_t to, int32_t y)
{
    const int32_t step = from <= to ? 1 : -1;
    for (int32_t x = from;; x += step) {
        if (!scrollStep(x, y))
            return false;
        if (x == to)
            return true;
    }
}

bool scrollY(int32_t from, int32_t to, int32_t x)
{
    const int32_t step = from <= to ? 1 : -1;
    for (int32_t y = from;; y += step) {
        if (!scrollStep(x, y))
            return false;
        if (y == to)
            return true;
    }
}

// Round the border of the virtual screen: right along the top, down the right side, left
// along the bottom, up the left side. Legs with an empty range are skipped.
void panAround(int32_t dx, int32_t dy)
{
    if (dx >= 0 && !scrollX(0, dx, 0))
        return;
    if (dy >= 0 && !scrollY(0, dy, dx))
        return;
    if (dx >= 0 && !scrollX(dx, 0, dy))
        return;
    if (dy >= 0)
        scrollY(dy, 0, 0);
}

void scrollDownAndUp(int32_t dy)
{
    if (dy < 0)
        return;
    if (scrollY(0, dy, 0))
        scrollY(dy, 0, 0);
}

void writeStatus(const DisplayContext& dc, const char* format, const char* prompt)
{
    char text[128];
    std::snprintf(text, sizeof text, format, static_cast<int>(dc.maxX + 1), static_cast<int>(dc.maxY + 1));
    GX_writeText(STATUS_X, STATUS_Y, text, dc.defaultColor);
    GX_writeText(STATUS_X, PROMPT_Y, prompt, dc.defaultColor);
}

void storeScanLine(int32_t bytes, int32_t pixels, int32_t lines)
{
    displayContext->bytesPerLine = bytes;
    displayContext->maxX = pixels - 1;
    displayContext->maxY = lines - 1;
}

}  // namespace

int setScanLineBytes(int bytes)
{
    int32_t newBytes = 0, newPixels = 0, lines = 0;
    if (!VBE_setBytesPerLine(bytes, &newBytes, &newPixels, &lines))
        return 0;
    storeScanLine(newBytes, newPixels, lines);
    return 1;
}

int setScanLinePixels(int pixels)
{
    int32_t newBytes = 0, newPixels = 0, lines = 0;
    if (!VBE_setPixelsPerLine(pixels, &newBytes, &newPixels, &lines))
        return 0;
    storeScanLine(newBytes, newPixels, lines);
    return 1;
}

namespace {

// From the mode's own scan lines to the last key; the caller sets
// the mode again afterwards whatever happened here.
int widenPanAndScroll(DisplayContext& dc)
{
    const int32_t maxX0 = dc.maxX, maxY0 = dc.maxY, bpl0 = dc.bytesPerLine;

    // Longest first; a length granted outside the useful range stays set while the search goes on.
    const int32_t maxW = widestScanLine(dc);
    for (int32_t w = maxW; w > maxX0 + 1; --w)
        if (setScanLinePixels(w) && dc.maxX > maxX0 + 1 && dc.maxX < maxW)
            break;

    VBE_setDisplayStart(0, 0, 0);
    GX_clear(0);
    drawMoire(dc.defaultColor);

    if (dc.maxX == maxX0) {
        writeStatus(dc, "Virtual buffer not resizeable in this mode (still %d x %d pixels)",
                    "Press any key to begin vertical scrolling");
    } else {
        writeStatus(dc, "Virtual buffer now set to %d x %d pixels", "Press any key to begin virtual scrolling");
        waitKey();  // the pan runs whatever the key
        panAround(dc.maxX - maxX0, dc.maxY - maxY0);
        const int key = waitKey();
        if (key == KEY_ESC)
            return key;

        VBE_setDisplayStart(0, 0, 0);
        if (dc.vbeVersion >= 0x200)
            setScanLineBytes(bpl0);
        else
            setScanLinePixels(maxX0 + 1);
        // The mode's own width whatever was granted; the height spans all of video memory.
        dc.maxX = maxX0;

        GX_clear(0);
        drawMoire(dc.defaultColor);
        writeStatus(dc, "Virtual buffer now set to %d x %d pixels", "Press any key to begin virtual scrolling");
    }

    const int key = waitKey();
    if (key == KEY_ESC)
        return key;
    scrollDownAndUp(dc.maxY - maxY0);
    return waitKey();
}

}  // namespace

int virtualScrollTest(int useLinear)
{
    DisplayContext& dc = *displayContext;

    if (!VBE_setDisplayStart(10, 10, 0))
        return 0;
    if (dc.maxX == 319 && dc.maxY == 199 && dc.maxPage == 0)
        return 0;

    // From the mode's own scan-line length, whatever an earlier test left.
    GX_setMode(VBE_getVideoMode(), 0, useLinear, 0);
    const int result = widenPanAndScroll(dc);
    GX_setMode(VBE_getVideoMode(), 0, useLinear, 0);
    return result;
}

int accelScrollTest(void)
{
    return 0;
}
