// The accelerator suite: the colour mapping, the rectangle grid, one pass of the tests and
// the run of passes that ends with the hardware cursor.
#include "accel/accel_suite.h"

#include "accel/blit_tests.h"
#include "accel/cursor_test.h"
#include "accel/fill_tests.h"
#include "accel/line_tests.h"
#include "accel/suite_context.h"
#include "app/globals.h"
#include "platform/accel.h"
#include "tests/test_run.h"

uint32_t blackColor = 0;
uint32_t whiteColor = 0;

namespace {

// The context runAccelSuite was given, while it runs; outside a run the program's own.
DisplayContext* runningContext = nullptr;

constexpr int PALETTE_SIZE = 256;
constexpr int XOR_COLOR_INDEX = 255;
constexpr int CLIP_INSET = 50;

}  // namespace

DisplayContext& suiteDisplay()
{
    return *(runningContext ? runningContext : displayContext);
}

AccelContext* suiteAccel()
{
    return suiteDisplay().accel;
}

void clearScreen(uint32_t color)
{
    const DisplayContext& dc = suiteDisplay();
    AF_drawRect(dc.accel, color, 0, 0, dc.maxX + 1, dc.maxY + 1);
}

GridGeometry gridGeometry()
{
    const DisplayContext& dc = suiteDisplay();
    return GridGeometry{(dc.maxX + 1) / 46, (dc.maxY - 10) / 47};
}

// Palette modes take the index as the pixel value. Direct-colour modes look the index up in
// the default palette; the palette has 256 entries and the grid asks for one more (256), so
// indices wrap modulo 256 there: 256 gives the colour of index 0, black, which is also what
// an 8-bit pixel store keeps of the value 256.
uint32_t mapColor(int index)
{
    if (suiteDisplay().bitsPerPixel <= 8)
        return static_cast<uint32_t>(index);
    const PaletteEntry* palette = GX_getDefPalette();
    const PaletteEntry& entry = palette[static_cast<unsigned>(index) % PALETTE_SIZE];
    return GX_rgbColor(entry.red, entry.green, entry.blue);
}

int drawRectGrid(int wait)
{
    AccelContext* accel = suiteAccel();
    AF_setMix(accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    clearScreen(blackColor);
    const GridGeometry grid = gridGeometry();
    for (int row = 0; row < GridGeometry::CELLS; ++row)
        for (int column = 0; column < GridGeometry::CELLS; ++column)
            AF_drawRect(accel, mapColor(GridGeometry::colorIndex(row, column)), grid.cellX(column), grid.cellY(row),
                        grid.cellWidth(), grid.cellHeight());
    return wait ? waitKey() : 0;
}

int runSuitePass(void)
{
    blackColor = mapColor(0);
    whiteColor = mapColor(15);

    drawRectGrid(1);  // the first screen's key only moves on, even Esc

    AF_setMix(suiteAccel(), AF_XOR_MIX, AF_XOR_MIX);
    clearScreen(mapColor(XOR_COLOR_INDEX));
    if (waitKey() == KEY_ESC)
        return KEY_ESC;

    using Test = int (*)(void);
    static constexpr Test tests[] = {
        testPattRect,       testScan,         testPattScan,    testScanList,       testTrap,         // fills
        testLines,          testStippleLines, testMonoImage,                                         // lines, image
        testBitBlt,         testBitBltLin,    testSrcTransBlt, testSrcTransBltLin, testDstTransBlt,  // copies
        testDstTransBltLin,
    };
    for (Test test : tests)
        if (test() == KEY_ESC)
            return KEY_ESC;
    return 0;
}

namespace {

// Both passes and the cursor; returns early on Esc.
void runPasses(DisplayContext* dc)
{
    AccelContext* accel = dc->accel;
    const bool canClip = accel->setClipRect != 0;

    if (canClip)
        AF_setClipRect(accel, 0, 0, dc->maxX, dc->maxY);
    if (runSuitePass() == KEY_ESC)
        return;

    AF_setMix(accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    clearScreen(blackColor);

    if (canClip) {
        AF_setClipRect(accel, CLIP_INSET, CLIP_INSET, dc->maxX - CLIP_INSET, dc->maxY - CLIP_INSET);
        if (runSuitePass() == KEY_ESC)
            return;
    }

    testHwCursor(accel->drawRect != 0 ? 1 : 0);
}

}  // namespace

void runAccelSuite(DisplayContext* dc)
{
    // Without an accelerator driver there is nothing to draw with.
    if (!dc || !dc->accel)
        return;
    runningContext = dc;
    runPasses(dc);
    runningContext = nullptr;
}
