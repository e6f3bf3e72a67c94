// The hardware cursor test: the arrow tracks the desktop mouse until an input event.
#include "accel/cursor_test.h"

#include "accel/accel_suite.h"
#include "accel/suite_context.h"
#include "platform/win32.h"
#include "tests/test_run.h"

namespace {

constexpr int ARROW_ROWS = 20;

// Bytes 0 and 1 of rows 0 to 19; the rest of both masks is clear.
constexpr uint8_t arrowInside[ARROW_ROWS][2] = {
    {0x00, 0x00}, {0x40, 0x00}, {0x60, 0x00}, {0x70, 0x00}, {0x78, 0x00}, {0x7C, 0x00}, {0x7E, 0x00},
    {0x7F, 0x00}, {0x7F, 0x80}, {0x7F, 0xC0}, {0x7E, 0x00}, {0x76, 0x00}, {0x66, 0x00}, {0x43, 0x00},
    {0x03, 0x00}, {0x01, 0x80}, {0x01, 0x80}, {0x00, 0xC0}, {0x00, 0xC0}, {0x00, 0x00},
};
constexpr uint8_t arrowShape[ARROW_ROWS][2] = {
    {0xC0, 0x00}, {0xE0, 0x00}, {0xF0, 0x00}, {0xF8, 0x00}, {0xFC, 0x00}, {0xFE, 0x00}, {0xFF, 0x00},
    {0xFF, 0x80}, {0xFF, 0xC0}, {0xFF, 0xE0}, {0xFF, 0xF0}, {0xFF, 0x00}, {0xFF, 0x00}, {0xEF, 0x80},
    {0xC7, 0x80}, {0x83, 0xC0}, {0x03, 0xC0}, {0x01, 0xE0}, {0x01, 0xE0}, {0x00, 0xC0},
};

constexpr int CURSOR_BYTES_PER_ROW = 4;

constexpr AF_CursorImage makeArrow()
{
    AF_CursorImage image{};
    for (int row = 0; row < ARROW_ROWS; ++row)
        for (int byte = 0; byte < 2; ++byte) {
            image.firstMask[row * CURSOR_BYTES_PER_ROW + byte] = arrowInside[row][byte];
            image.secondMask[row * CURSOR_BYTES_PER_ROW + byte] = arrowShape[row][byte];
        }
    image.hotX = 8;
    image.hotY = 8;
    return image;
}

constexpr int NO_POSITION = -1;

}  // namespace

constexpr AF_CursorImage arrowCursor = makeArrow();

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
