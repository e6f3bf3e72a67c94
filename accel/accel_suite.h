// The accelerator suite: grid, fills, lines, images, blits and the hardware cursor.
#pragma once

#include <cstdint>

#include "platform/display.h"

void runAccelSuite(DisplayContext* dc);
int runSuitePass(void);
uint32_t mapColor(int index);
int drawRectGrid(int wait);

extern uint32_t blackColor;
extern uint32_t whiteColor;
