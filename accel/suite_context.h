// What the accelerator tests share beyond the public suite header: the display they draw on,
// the full-screen clear and the geometry of the 16 by 16 rectangle grid.
#pragma once

#include <cstdint>

#include "platform/accel.h"
#include "platform/display.h"

// The display of the running suite (the program's displayContext outside a run).
DisplayContext& suiteDisplay();
AccelContext* suiteAccel();

// A full-screen rectangle in the current mix.
void clearScreen(uint32_t color);

// The grid's units: u = (maxX + 1) / 46 across and v = (maxY - 10) / 47 down. A cell is 2u by
// 2v, the pitch 3u by 3v, the first cell at (u, v); cell (r, c) takes colour index 1 + 16r + c.
struct GridGeometry {
    static constexpr int CELLS = 16;

    int32_t u;
    int32_t v;

    int32_t cellX(int column) const { return u + 3 * u * column; }
    int32_t cellY(int row) const { return v + 3 * v * row; }
    int32_t cellWidth() const { return 2 * u; }
    int32_t cellHeight() const { return 2 * v; }
    static int colorIndex(int row, int column) { return 1 + CELLS * row + column; }
};

GridGeometry gridGeometry();
