#include "tests/test_run.h"

#include "accel/accel_suite.h"
#include "app/globals.h"
#include "platform/display.h"
#include "platform/fullscreen.h"
#include "platform/win32.h"
#include "tests/moire.h"
#include "tests/page_flip.h"
#include "tests/palette_tests.h"
#include "tests/virtual_scroll.h"

int32_t currentMode;
int32_t textX;
int32_t textY;

namespace {

uint32_t timerStamp;  // milliseconds of the clock at timerStart

constexpr uint32_t PALETTE_MODE_MAX_COLOR = 255;

bool endsRun(int key)
{
    return key == KEY_ESC;
}

// The tests in their fixed order; true when Esc ended the sequence.
bool runTests(const ModeInfo& info, int paletteFade, int virtualScroll, int waitRetrace, int fadeWait, int wideDac,
              int useLinear)
{
    if (endsRun(moireTest()))
        return true;
    if (endsRun(pageFlipTest(waitRetrace)))
        return true;
    if (paletteFade && displayContext->maxColor == PALETTE_MODE_MAX_COLOR) {
        if (endsRun(paletteFadeTest(fadeWait)))
            return true;
        if (wideDac && endsRun(wideDacTest()))
            return true;
    }
    if (virtualScroll) {
        // An accelerated mode scrolls in the suite instead.
        const int key = displayContext->accel != nullptr ? accelScrollTest() : virtualScrollTest(useLinear);
        if (endsRun(key))
            return true;
    }
    if (info.attributes & MODE_ATTR_ACCELERATED)
        runAccelSuite(displayContext);
    return false;
}

}  // namespace

int testMode(int mode, int paletteFade, int virtualScroll, int waitRetrace, int fadeWait, int wideDac, int useLinear)
{
    ModeInfo info{};
    if (!GX_getModeInfo(mode, &info))
        return 0;
    if (!GX_setMode(mode | static_cast<int>(MODE_SET_BY_TEST_RUN), 0, useLinear, info.modeSetValue))
        return 0;
    currentMode = mode & 0xFFFF;

    runTests(info, paletteFade, virtualScroll, waitRetrace, fadeWait, wideDac, useLinear);
    GX_restoreMode();
    return 1;
}

int waitKey(void)
{
    InputEvent event{};
    PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
    if (event.kind == EVENT_KEY_DOWN)
        return static_cast<int>(event.message & 0xFF);
    return KEY_ENTER;  // a mouse button counts as Enter
}

int eventPending(void)
{
    InputEvent scratch{};
    return PL_peekEvent(&scratch, EVENT_MASK_KEY_OR_MOUSE);
}

void timerStart(void)
{
    timerStamp = timeGetTime();
}

// Unsigned arithmetic keeps a difference right across the clock's wrap.
uint32_t timerElapsed(void)
{
    return (timeGetTime() - timerStamp) * 1000u;
}

void delay(uint32_t microseconds)
{
    timerStart();
    while (timerElapsed() < microseconds) {
    }
}
