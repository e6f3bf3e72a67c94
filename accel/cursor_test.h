// The hardware cursor test, the suite's last screen: an arrow follows the desktop mouse until
// a key, then hides; a second key ends the test.
#pragma once

#include "platform/accel.h"

// drawGrid: draw the rectangle grid (and wait for its key) first. Returns 0 when the driver
// has no cursor, otherwise the key of the last wait.
int testHwCursor(int drawGrid);

// The desktop mouse position in screen coordinates.
void readMousePos(int& x, int& y);

// The arrow, tip at the top left, hot spot (8, 8).
extern const AF_CursorImage arrowCursor;
