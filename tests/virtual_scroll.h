// Virtual scrolling: scan lines widened as far as video memory allows, then panned and scrolled.
#pragma once

int virtualScrollTest(int useLinear);
int setScanLineBytes(int bytes);
int setScanLinePixels(int pixels);
// The scrolling step of an accelerated mode: nothing to draw, the suite follows.
int accelScrollTest(void);
