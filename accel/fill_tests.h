// The fill tests of the suite: patterned rectangles, solid scans, patterned scans, a scan
// list and a trapezoid. Each returns 0 when its accelerator entry is absent, otherwise the
// key of its last wait.
#pragma once

#include <cstdint>

int testPattRect(void);
int testScan(void);
int testPattScan(void);
int testScanList(void);
int testTrap(void);

// One byte per pattern row from the top, most significant bit leftmost.
extern const uint8_t fillPattern8x8[8];

// One (x1, x2) pair per scan line from the top.
constexpr int SCAN_LIST_LINES = 10;
extern const int16_t scanListData[SCAN_LIST_LINES * 2];
constexpr int32_t SCAN_LIST_Y = 10;

// The trapezoid; x values and slopes are 16.16 fixed point.
struct Trapezoid {
    int32_t y;
    int32_t count;
    int32_t x1;
    int32_t x2;
    int32_t slope1;
    int32_t slope2;
};
extern const Trapezoid trapezoid;
