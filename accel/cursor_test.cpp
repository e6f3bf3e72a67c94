// The hardware cursor test: the arrow tracks the desktop mouse until an input event.
#include "accel/cursor_test.h"

#include "accel/accel_suite.h"
#include "accel/suite_context.h"
#include "platform/win32.h"
#include "tests/test_run.h"

namespace {

constexpr int NO_POSITION = -1;

}  // namespace

void readMousePos(int& x, int& y)
{
    POINT point{};
    GetCursorPos(&point);
    x = point.x;
    y = point.y;
}

int testHwCursor(int drawGrid)
{
    AccelContext* accel = suiteAccel();
    if (!accel->setCursor)
        return 0;
    if (drawGrid)
        drawRectGrid(1);  // only moves on

    AF_setCursor(accel, &arrowCursor);
    AF_setCursorColor(accel, 255, 255, 255);
    AF_showCursor(accel, 1);

    // The event test comes first, so an event already waiting ends tracking before any
    // position is set; the position goes to the card as read, and only when it changed.
    int lastX = NO_POSITION, lastY = NO_POSITION;
    while (!eventPending()) {
        int x = 0, y = 0;
        readMousePos(x, y);
        if (x != lastX || y != lastY) {
            lastX = x;
            lastY = y;
            AF_setCursorPos(accel, x, y);
        }
    }
    waitKey();  // the event that stopped tracking
    AF_showCursor(accel, 0);
    return waitKey();
}
