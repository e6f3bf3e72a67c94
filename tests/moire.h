// The moire screen: a fan of lines from the centre to every edge, a border, and the mode's
// description. drawMoire is reused by the palette and virtual scrolling tests.
#pragma once

#include <cstdint>

void drawMoire(uint32_t borderColor);
void drawModeInfo(void);
int moireTest(void);
