// The full-screen library: takes the screen from the desktop, gives it back, and delivers
// input events while it holds the screen.
#pragma once

#include <cstddef>
#include <cstdint>

#include "win32.h"

#pragma pack(push, 1)

struct InputEvent {
    uint32_t kind;   // EVENT_* below
    uint32_t when;   // library: milliseconds of the clock
    int32_t whereX;  // library: mouse position
    int32_t whereY;
    uint32_t message;    // key press: the character code in the low byte
    uint32_t modifiers;  // library
    uint8_t libraryData24[8];
};

#pragma pack(pop)

static_assert(sizeof(InputEvent) == 32);
static_assert(offsetof(InputEvent, kind) == 0);
static_assert(offsetof(InputEvent, message) == 16);

constexpr uint32_t EVENT_KEY_DOWN = 1;
constexpr uint32_t EVENT_MOUSE_DOWN = 8;
constexpr uint32_t EVENT_MASK_KEY_OR_MOUSE = EVENT_KEY_DOWN | EVENT_MOUSE_DOWN;

void PL_startFullScreen(HWND window, int32_t width, int32_t height);
void PL_restoreGDI(void);
// Nonzero when an event of the mask is queued; the event stays queued.
int32_t PL_peekEvent(InputEvent* event, uint32_t mask);
// Waits for an event of the mask, removes it from the queue and fills the record.
void PL_haltEvent(InputEvent* event, uint32_t mask);
