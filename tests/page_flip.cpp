// Page flipping: each frame is drawn into a hidden page and then shown, every page in turn,
// with the frame rate of the last full cycle through the pages written on the screen.
#include "tests/page_flip.h"

#include <cstdint>
#include <cstdio>

#include "app/globals.h"
#include "platform/display.h"
#include "tests/test_run.h"

namespace {

// One end of a moving line: steps by 2 and turns back inside [0, limit].
struct Bounce {
    int32_t position;
    int32_t step;

    void advance(int32_t limit)
    {
        position += step;
        if (position > limit) {
            position = limit - 2;
            step = -2;
        }
        if (position < 0) {
            position = 2;
            step = 2;
        }
    }
};

void drawFrame(const DisplayContext& dc, int32_t active, uint32_t rate, const Bounce& x, const Bounce& y,
               uint32_t lineColor)
{
    GX_setActivePage(active);
    GX_clear(0);

    char text[64];
    std::snprintf(text, sizeof text, "%3d.%d fps", static_cast<int>(rate / 10), static_cast<int>(rate % 10));
    GX_writeText(4, 4, text, dc.defaultColor);

    const int32_t column = dc.maxX <= 360 ? 4 : 80;
    GX_writeText(column, 80, "Page flipping - should be no flicker", dc.defaultColor);
    std::snprintf(text, sizeof text, "Page %d of %d", static_cast<int>(active + 1), static_cast<int>(dc.maxPage + 1));
    GX_writeText(column, 100, text, dc.defaultColor);

    GX_beginLine();
    GX_lineFast(x.position, 0, dc.maxX - x.position, dc.maxY, lineColor);
    GX_lineFast(0, dc.maxY - y.position, dc.maxX, y.position, lineColor);
    GX_lineFast(0, 0, dc.maxX, 0, dc.defaultColor);
    GX_lineFast(0, 0, 0, dc.maxY, dc.defaultColor);
    GX_lineFast(dc.maxX, 0, dc.maxX, dc.maxY, dc.defaultColor);
    GX_lineFast(0, dc.maxY, dc.maxX, dc.maxY, dc.defaultColor);
    GX_endLine();
}

}  // namespace

int pageFlipTest(int waitRetrace)
{
    const DisplayContext& dc = *displayContext;
    int result = 0;

    // A page count below one would leave nothing to flip to and nothing to divide by.
    if (dc.maxPage > 0) {
        const int32_t pages = dc.maxPage + 1;
        int32_t active = 1;
        int32_t visual = 0;
        Bounce x{0, 2};
        Bounce y{dc.maxY, -2};
        const uint32_t lineColor = dc.maxColor > 255 ? dc.defaultColor : 15;
        uint32_t rate = 0;  // tenths of a frame per second
        uint32_t last = 0;

        GX_setActivePage(1);
        GX_setVisualPage(0, waitRetrace);
        timerStart();
        while (!eventPending()) {
            drawFrame(dc, active, rate, x, y, lineColor);
            visual = (visual + 1) % pages;
            GX_setVisualPage(visual, waitRetrace);
            active = (active + 1) % pages;
            x.advance(dc.maxX);
            y.advance(dc.maxY);
            if (active == 0) {
                const uint32_t now = timerElapsed();
                const uint32_t cycle = now - last;
                // A cycle within one clock tick has no measurable length: keep the last rate.
                if (cycle != 0)
                    rate = (10000000u / cycle) * static_cast<uint32_t>(pages);
                last = now;
            }
        }
        result = waitKey();
    }

    GX_setActivePage(0);
    GX_setVisualPage(0, 0);
    return result;
}
