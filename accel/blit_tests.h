// The block-copy tests of the suite: screen-to-screen copies that scroll the whole screen,
// then a copy from linear video memory and the four transparent copies, each stamping the
// source block six times along a diagonal. Each returns 0 when its accelerator entry is
// absent, otherwise the key of its last wait.
#pragma once

#include <cstdint>

int testBitBlt(void);
int testBitBltLin(void);
int testSrcTransBlt(void);
int testSrcTransBltLin(void);
int testDstTransBlt(void);
int testDstTransBltLin(void);

// The source block: W / 8 by H / 6 at (0, 0), three nested rectangles in colours 15, 12, 9.
void drawBlitSource(void);

constexpr int BLIT_COPIES = 6;
