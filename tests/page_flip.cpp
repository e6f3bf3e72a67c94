// Page flipping: each frame is drawn into a hidden page and then shown, every page in turn,
// with the frame rate of the last full cycle through the pages written on the screen.
#include "tests/page_flip.h"

#include <cstdio>

#include "app/globals.h"
#include "tests/test_run.h"

namespace {

// One end of a moving line: steps by 2 and turns back inside [0, limit].
void bounce(int32_t& position, int32_t& step, int32_t limit)
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

}  // namespace

PageFlipAnimation startPageFlip(const DisplayContext& dc)
{
    PageFlipAnimation a{};
    a.pages = dc.maxPage + 1;
    a.active = 1;
    a.visual = 0;
    a.x = 0;
    a.dx = 2;
    a.y = dc.maxY;
    a.dy = -2;
    a.lineColor = dc.maxColor > 255 ? dc.defaultColor : 15;
    return a;
}

void drawPageFlipFrame(PageFlipAnimation& a, const DisplayContext& dc, int waitRetrace)
{
    GX_setActivePage(a.active);
    GX_clear(0);

    char text[64];
    std::snprintf(text, sizeof text, "%3d.%d fps", static_cast<int>(a.rate / 10), static_cast<int>(a.rate % 10));
    GX_writeText(4, 4, text, dc.defaultColor);
    const int32_t column = dc.maxX <= 360 ? 4 : 80;
    GX_writeText(column, 80, "Page flipping - should be no flicker", dc.defaultColor);
    std::snprintf(text, sizeof text, "Page %d of %d", static_cast<int>(a.active + 1), static_cast<int>(a.pages));
    GX_writeText(column, 100, text, dc.defaultColor);

    GX_beginLine();
    GX_lineFast(a.x, 0, dc.maxX - a.x, dc.maxY, a.lineColor);
    GX_lineFast(0, dc.maxY - a.y, dc.maxX, a.y, a.lineColor);
    GX_lineFast(0, 0, dc.maxX, 0, dc.defaultColor);
    GX_lineFast(0, 0, 0, dc.maxY, dc.defaultColor);
    GX_lineFast(dc.maxX, 0, dc.maxX, dc.maxY, dc.defaultColor);
    GX_lineFast(0, dc.maxY, dc.maxX, dc.maxY, dc.defaultColor);
    GX_endLine();

    // The active page runs one ahead of the visual one, so the page just drawn is shown.
    a.visual = (a.visual + 1) % a.pages;
    GX_setVisualPage(a.visual, waitRetrace);
    a.active = (a.active + 1) % a.pages;
    bounce(a.x, a.dx, dc.maxX);
    bounce(a.y, a.dy, dc.maxY);

    if (a.active == 0) {
        const uint32_t now = timerElapsed();
        const uint32_t cycle = now - a.last;
        // A cycle within one clock tick has no measurable length: keep the last rate.
        if (cycle != 0)
            a.rate = (10000000u / cycle) * static_cast<uint32_t>(a.pages);
        a.last = now;
    }
}

int pageFlipTest(int waitRetrace)
{
    const DisplayContext& dc = *displayContext;
    int result = 0;

    // A page count below one would leave nothing to flip to and nothing to divide by.
    if (dc.maxPage > 0) {
        PageFlipAnimation animation = startPageFlip(dc);
        GX_setActivePage(1);
        GX_setVisualPage(0, waitRetrace);
        timerStart();
        while (!eventPending())
            drawPageFlipFrame(animation, dc, waitRetrace);
        result = waitKey();
    }

    GX_setActivePage(0);
    GX_setVisualPage(0, 0);
    return result;
}
