// The line fans from the screen's centre to all four edges, with a frame, and the image
// tiling.
#include "accel/line_tests.h"

#include "accel/accel_suite.h"
#include "accel/suite_context.h"
#include "platform/accel.h"
#include "tests/test_run.h"

const uint8_t monoImageData[MONO_IMAGE_BYTES_PER_ROW * MONO_IMAGE_ROWS] = {
    0xFF, 0xDE, 0x7B, 0xFE, 0x00,  //
    0xFF, 0xCC, 0x31, 0xFE, 0x00,  //
    0x8C, 0x4C, 0x31, 0x82, 0x00,  //
    0x0C, 0x0C, 0x31, 0x80, 0x00,  //
    0x0C, 0x0C, 0x31, 0x90, 0x00,  //
    0x0C, 0x0F, 0xF1, 0xF0, 0x00,  //
    0x0C, 0x0F, 0xF1, 0xF0, 0x00,  //
    0x0C, 0x0C, 0x31, 0x90, 0x00,  //
    0x0C, 0x0C, 0x31, 0x80, 0x00,  //
    0x0C, 0x0C, 0x31, 0x82, 0x00,  //
    0x0C, 0x0C, 0x31, 0xFE, 0x00,  //
    0x1E, 0x1E, 0x7B, 0xFE, 0x00,  //
};

namespace {

constexpr int32_t toFixed(int32_t pixel)
{
    return pixel * 65536;
}

// Line colours cycle modulo 255, so index 255 (the XOR colour) never shows in a fan.
constexpr int FAN_COLOR_CYCLE = 255;

constexpr int32_t SOLID_FAN_STEP = 4;
constexpr int32_t STIPPLE_FAN_STEP = 20;

constexpr int32_t IMAGE_WIDTH = MONO_IMAGE_BYTES_PER_ROW * 8;
constexpr int32_t IMAGE_ROW_PITCH = 17;

// Draws one line in a pixel colour between two points in whole pixels.
using DrawLine = void (*)(uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

void solidLine(uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    AF_drawLine(suiteAccel(), color, toFixed(x1), toFixed(y1), toFixed(x2), toFixed(y2));
}

// Clear stipple bits are painted black, not left alone.
void stippleLine(uint32_t color, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    AF_drawStippleLine(suiteAccel(), color, blackColor, toFixed(x1), toFixed(y1), toFixed(x2), toFixed(y2));
}

void startLineScreen()
{
    AF_setMix(suiteAccel(), AF_REPLACE_MIX, AF_REPLACE_MIX);
    clearScreen(blackColor);
}

// Lines from the centre to every step-th point of the top and bottom edges, then of the left
// and right edges.
void drawFan(DrawLine line, int32_t step)
{
    const DisplayContext& dc = suiteDisplay();
    const int32_t cx = dc.maxX / 2;
    const int32_t cy = dc.maxY / 2;
    for (int32_t x = 0; x < dc.maxX; x += step) {
        line(mapColor(x % FAN_COLOR_CYCLE), cx, cy, x, 0);
        line(mapColor((x + 1) % FAN_COLOR_CYCLE), cx, cy, x, dc.maxY);
    }
    for (int32_t y = 0; y < dc.maxY; y += step) {
        line(mapColor((y + 2) % FAN_COLOR_CYCLE), cx, cy, 0, y);
        line(mapColor((y + 3) % FAN_COLOR_CYCLE), cx, cy, dc.maxX, y);
    }
}

void drawFrame(DrawLine line)
{
    const DisplayContext& dc = suiteDisplay();
    line(whiteColor, 0, 0, dc.maxX, 0);
    line(whiteColor, 0, 0, 0, dc.maxY);
    line(whiteColor, dc.maxX, 0, dc.maxX, dc.maxY);
    line(whiteColor, 0, dc.maxY, dc.maxX, dc.maxY);
}

}  // namespace

int testLines(void)
{
    if (!suiteAccel()->drawLine)
        return 0;
    startLineScreen();
    drawFan(solidLine, SOLID_FAN_STEP);
    drawFrame(solidLine);
    return waitKey();
}

int testStippleLines(void)
{
    AccelContext* accel = suiteAccel();
    if (!accel->drawStippleLine)
        return 0;
    startLineScreen();
    AF_setLineStipple(accel, FAN_STIPPLE);
    drawFan(stippleLine, STIPPLE_FAN_STEP);
    AF_setLineStipple(accel, FRAME_STIPPLE);
    drawFrame(stippleLine);
    return waitKey();
}

int testMonoImage(void)
{
    AccelContext* accel = suiteAccel();
    if (!accel->putMonoImage)
        return 0;
    startLineScreen();
    const DisplayContext& dc = suiteDisplay();
    for (int32_t x = 0; x < dc.maxX; x += IMAGE_WIDTH)
        for (int32_t y = 0; y < dc.maxY; y += IMAGE_ROW_PITCH)
            AF_putMonoImage(accel, mapColor((x + y) % 16), blackColor, x, y, MONO_IMAGE_BYTES_PER_ROW, MONO_IMAGE_ROWS,
                            monoImageData);
    return waitKey();
}
