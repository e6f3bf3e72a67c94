// The fill tests: the grid's cells filled with patterns and scans, then a scan list and a
// trapezoid drawn over it.
#include "accel/fill_tests.h"

#include <algorithm>
#include <iterator>

#include "accel/accel_suite.h"
#include "accel/suite_context.h"
#include "platform/accel.h"
#include "tests/test_run.h"

const uint8_t fillPattern8x8[8] = {0xF8, 0x74, 0x22, 0x47, 0x8F, 0x17, 0x22, 0x71};

const int16_t scanListData[SCAN_LIST_LINES * 2] = {
    100, 200, 95, 215, 90, 220, 80, 230, 85, 230, 85, 230, 90, 220, 95, 200, 100, 150, 120, 130,
};

constexpr int32_t FIXED_ONE = 65536;
const Trapezoid trapezoid{30, 100, 100 * FIXED_ONE, 150 * FIXED_ONE, -FIXED_ONE / 2, FIXED_ONE / 4};

namespace {

constexpr int PATTERN_BACKGROUND_INDEX = 2;
constexpr int PATTERN_SCREEN_INDEX = 1;

// Even columns leave the pattern's clear bits alone, odd columns paint them.
void setPatternMixForColumn(AccelContext* accel, int column)
{
    AF_setMix(accel, AF_REPLACE_MIX, column % 2 == 0 ? AF_NOP_MIX : AF_REPLACE_MIX);
}

// Calls drawCell(x, y, colour index, column) for every grid cell, rows outer.
template <typename DrawCell>
void forEachCell(DrawCell drawCell)
{
    const GridGeometry grid = gridGeometry();
    for (int row = 0; row < GridGeometry::CELLS; ++row)
        for (int column = 0; column < GridGeometry::CELLS; ++column)
            drawCell(grid, grid.cellX(column), grid.cellY(row), GridGeometry::colorIndex(row, column), column);
}

void startPatternScreen(AccelContext* accel)
{
    AF_setMix(accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    clearScreen(mapColor(PATTERN_SCREEN_INDEX));
    AF_set8x8MonoPattern(accel, fillPattern8x8);
}

}  // namespace

int testPattRect(void)
{
    AccelContext* accel = suiteAccel();
    if (!accel->drawPattRect)
        return 0;
    startPatternScreen(accel);
    forEachCell([accel](const GridGeometry& grid, int32_t x, int32_t y, int index, int column) {
        setPatternMixForColumn(accel, column);
        AF_drawPattRect(accel, mapColor(index), mapColor(PATTERN_BACKGROUND_INDEX), x, y, grid.cellWidth(),
                        grid.cellHeight());
    });
    return waitKey();
}

int testScan(void)
{
    AccelContext* accel = suiteAccel();
    AF_setMix(accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    clearScreen(blackColor);
    forEachCell([accel](const GridGeometry& grid, int32_t x, int32_t y, int index, int) {
        for (int32_t k = 0; k < grid.cellHeight(); k += 2)
            AF_drawScan(accel, mapColor(index), y + k, x, x + grid.cellWidth());
    });
    return waitKey();
}

int testPattScan(void)
{
    AccelContext* accel = suiteAccel();
    if (!accel->drawPattScan)
        return 0;
    startPatternScreen(accel);
    forEachCell([accel](const GridGeometry& grid, int32_t x, int32_t y, int index, int column) {
        setPatternMixForColumn(accel, column);
        for (int32_t k = 0; k < grid.cellHeight(); k += 2)
            AF_drawPattScan(accel, mapColor(index), mapColor(PATTERN_BACKGROUND_INDEX), y + k, x, x + grid.cellWidth());
    });
    return waitKey();
}

int testScanList(void)
{
    AccelContext* accel = suiteAccel();
    AF_setMix(accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    clearScreen(blackColor);
    // The driver gets a copy: the table stays the program's.
    int16_t scans[SCAN_LIST_LINES * 2];
    std::copy(std::begin(scanListData), std::end(scanListData), scans);
    AF_drawScanList(accel, mapColor(1), SCAN_LIST_Y, SCAN_LIST_LINES, scans);
    return waitKey();
}

int testTrap(void)
{
    AccelContext* accel = suiteAccel();
    AF_setMix(accel, AF_REPLACE_MIX, AF_REPLACE_MIX);
    // Drawn over the scan list: no clear.
    AF_drawTrap(accel, mapColor(2), trapezoid.y, trapezoid.count, trapezoid.x1, trapezoid.x2, trapezoid.slope1,
                trapezoid.slope2);
    return waitKey();
}
