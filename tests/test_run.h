// The test run driver and what every test shares: key waits, the Esc rule, the timer.
#pragma once

#include <cstdint>

// testMode's result: 0 when the mode could not be queried or set, 1 otherwise.
int testMode(int mode, int paletteFade, int virtualScroll, int waitRetrace, int fadeWait, int wideDac, int useLinear);

// Blocks for a key press or mouse button; the key's character code, or 13 for the button.
int waitKey(void);
// Nonzero when a key press or mouse button is waiting; never blocks, leaves it queued.
int eventPending(void);

void timerStart(void);
uint32_t timerElapsed(void);  // microseconds since timerStart, wrapping
void delay(uint32_t microseconds);

constexpr int KEY_ESC = 27;
constexpr int KEY_ENTER = 13;

extern int32_t currentMode;  // the mode number last set (low 16 bits)
extern int32_t textX;        // the text cursor of the test screens
extern int32_t textY;
