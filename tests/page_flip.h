// Page flipping: an animation drawn into one page while another is shown.
#pragma once

#include <cstdint>

#include "platform/display.h"

int pageFlipTest(int waitRetrace);

// The animation's state between frames.
struct PageFlipAnimation {
    int32_t pages;           // maxPage + 1
    int32_t active, visual;  // the page drawn next, the page shown
    int32_t x, dx;           // the moving end of the first line and its step
    int32_t y, dy;           // the moving end of the second line and its step
    uint32_t lineColor;
    uint32_t rate;  // tenths of a frame per second over the last cycle
    uint32_t last;  // timerElapsed at the last rate update
};

// The start values for a mode of two pages or more; the caller starts the timer.
PageFlipAnimation startPageFlip(const DisplayContext& dc);
// Draws one frame into the hidden page, shows it, and moves the animation on.
void drawPageFlipFrame(PageFlipAnimation& animation, const DisplayContext& dc, int waitRetrace);
