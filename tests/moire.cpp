#include "tests/moire.h"

#include <cstdio>

#include "app/globals.h"
#include "platform/display.h"
#include "tests/test_run.h"

namespace {

constexpr uint32_t DIRECT_COLOR_MIN = 0x7FFF;  // maxColor from here up: 15 bits or more
constexpr int32_t PALETTE_STEP = 5;
constexpr int32_t NARROW_SCREEN_MAX_X = 512;
constexpr int32_t LINE_HEIGHT = 16;
constexpr int TEXT_BUFFER_SIZE = 100;

// Palette colours cycle below maxColor, so the last index is never used.
uint32_t paletteColor(int32_t i, uint32_t maxColor)
{
    return maxColor != 0 ? static_cast<uint32_t>(i) % maxColor : 0;
}

void drawPaletteFan(int32_t cx, int32_t cy, int32_t maxX, int32_t maxY, uint32_t maxColor)
{
    for (int32_t i = 0; i < maxX; i += PALETTE_STEP) {
        GX_lineFast(cx, cy, i, 0, paletteColor(i, maxColor));
        GX_lineFast(cx, cy, i, maxY, paletteColor(i + 1, maxColor));
    }
    for (int32_t i = 0; i < maxY; i += PALETTE_STEP) {
        GX_lineFast(cx, cy, 0, i, paletteColor(i + 2, maxColor));
        GX_lineFast(cx, cy, maxX, i, paletteColor(i + 3, maxColor));
    }
}

// Top edge black to red, bottom black to green, left blue to red, right green to blue.
void drawDirectColorFan(int32_t cx, int32_t cy, int32_t maxX, int32_t maxY)
{
    for (int32_t i = 0; i < maxX; ++i) {
        const int32_t r = i * 255 / maxX;
        GX_lineFast(cx, cy, i, 0, GX_rgbColor(r, 0, 0));
        GX_lineFast(cx, cy, i, maxY, GX_rgbColor(0, r, 0));
    }
    for (int32_t i = 0; i < maxY; ++i) {
        const int32_t b = i * 255 / maxY;
        GX_lineFast(cx, cy, 0, i, GX_rgbColor(b, 0, 255 - b));
        GX_lineFast(cx, cy, maxX, i, GX_rgbColor(0, 255 - b, b));
    }
}

void writeLine(const char* text)
{
    GX_writeText(textX, textY, text, displayContext->defaultColor);
}

}  // namespace

void drawMoire(uint32_t borderColor)
{
    const DisplayContext& dc = *displayContext;
    const int32_t maxX = dc.maxX;
    const int32_t maxY = dc.maxY;
    const int32_t cx = maxX / 2;
    const int32_t cy = maxY / 2;

    GX_beginLine();
    if (dc.maxColor < DIRECT_COLOR_MIN)
        drawPaletteFan(cx, cy, maxX, maxY, dc.maxColor);
    else
        drawDirectColorFan(cx, cy, maxX, maxY);
    GX_lineFast(0, 0, maxX, 0, borderColor);
    GX_lineFast(0, 0, 0, maxY, borderColor);
    GX_lineFast(maxX, 0, maxX, maxY, borderColor);
    GX_lineFast(0, maxY, maxX, maxY, borderColor);
    GX_endLine();
}

void drawModeInfo(void)
{
    const DisplayContext& dc = *displayContext;
    char text[TEXT_BUFFER_SIZE];
    std::snprintf(text, sizeof text, "Video mode: %d x %d %d bit", dc.maxX + 1, dc.maxY + 1, dc.bitsPerPixel);
    writeLine(text);
    textY += LINE_HEIGHT;

    const char* framebuffer = nullptr;
    if (currentMode & MODE_LINEAR_FRAMEBUFFER)
        framebuffer = "Using linear frame buffer";
    else if (dc.virtualLfbActive)
        framebuffer = "Using *virtual* linear frame buffer";
    if (framebuffer) {
        writeLine(framebuffer);
        textY += LINE_HEIGHT;
    }
}

int moireTest(void)
{
    const DisplayContext& dc = *displayContext;
    drawMoire(dc.defaultColor);  // over whatever the mode left on the screen

    if (dc.maxX <= NARROW_SCREEN_MAX_X) {
        textX = textY = 40;
        drawModeInfo();
    } else {
        textX = textY = 80;
        writeLine("Bank switching test");
        textY += 2 * LINE_HEIGHT;
        drawModeInfo();
        char text[TEXT_BUFFER_SIZE];
        std::snprintf(text, sizeof text, "Maximum x: %d, Maximum y: %d, BytesPerLine %d, Pages: %d", dc.maxX, dc.maxY,
                      dc.bytesPerLine, dc.maxPage + 1);
        writeLine(text);
        textY += 2 * LINE_HEIGHT;
        writeLine("You should see a colorful Moire pattern on the screen");
        textY += LINE_HEIGHT;
    }
    writeLine("Press any key to continue");
    textY += 2 * LINE_HEIGHT;
    return waitKey();
}
