// Where the monitor picture goes in the window: a whole number of window pixels per picture
// pixel, so that fine patterns (the moire, one-pixel grids) are shown as the card drew them.
#pragma once

#include "desktop/canvas.h"

namespace desktop {

struct Placement {
    int zoom = 1;    // window pixels per picture pixel
    int shrink = 1;  // picture pixels per window pixel, when even 1:1 does not fit
    int x = 0, y = 0, width = 0, height = 0;  // the picture's rectangle in the window, centred
};

// The largest whole-number zoom at which a picture of width x height fits the area; 1:1
// when only that fits, else the smallest whole-number shrink that fits.
Placement placePicture(int width, int height, int areaWidth, int areaHeight);

// The picture pixel under a window point; false outside the picture.
bool pictureAt(const Placement& placement, int windowX, int windowY, int& x, int& y);

// Each block of shrink x shrink pixels as the average of its colours: one-pixel lines come
// out as an even tint instead of the arcs that dropping pixels draws.
void shrinkPicture(const Picture& picture, int shrink, Picture& shown);

}  // namespace desktop
