// The full-screen library, the millisecond clock and the desktop mouse: input and time as
// the program sees them while it holds the screen.
#include "platform/fullscreen.h"

#include "desktop/session.h"

namespace {

using desktop::Action;
using desktop::session;

// Polling loops must see time pass on a virtual clock; on the real one this costs nothing.
constexpr uint64_t kPeekCostMicros = 1000;
constexpr uint64_t kClockReadCostMicros = 100;

// What an action means to the full-screen library: its event kind, or 0 for none.
uint32_t eventKind(const Action& action)
{
    switch (action.kind) {
    case Action::Kind::Key: return EVENT_KEY_DOWN;
    case Action::Kind::Button:
    case Action::Kind::ClickAt: return EVENT_MOUSE_DOWN;
    default: return 0;
    }
}

uint32_t nowMs()
{
    return uint32_t(session().clock().nowMicros() / 1000);
}

void fill(InputEvent* event, const Action& action)
{
    if (!event)
        return;
    *event = InputEvent{};
    event->kind = eventKind(action);
    event->when = nowMs();
    event->whereX = session().mouseX();
    event->whereY = session().mouseY();
    event->message = action.kind == Action::Kind::Key ? uint32_t(action.key) : 0;
    event->modifiers = action.shift ? 1 : 0;
}

// What the screen cannot take (a dialog's click while the tests run) ends a scripted run
// there; a person's is dropped.
bool admitted(const Action& action, uint32_t mask)
{
    if (action.kind == Action::Kind::ClickAt)
        session().setMouse(action.x, action.y);
    if (eventKind(action) & mask)
        return true;
    session().cannotDo(action, "the full screen takes only keys and mouse buttons");
    return false;
}

}  // namespace

void PL_startFullScreen(HWND, int32_t, int32_t)
{
    session().setFullScreen(true);
}

void PL_restoreGDI(void)
{
    session().setFullScreen(false);
}

int32_t PL_peekEvent(InputEvent* event, uint32_t mask)
{
    session().clock().spend(kPeekCostMicros);
    for (;;) {
        const Action* action = session().poll();
        if (!action)
            return 0;
        if (admitted(*action, mask)) {
            fill(event, *action);
            return 1;
        }
        session().take();
    }
}

void PL_haltEvent(InputEvent* event, uint32_t mask)
{
    for (;;) {
        const Action action = session().wait();
        if (admitted(action, mask)) {
            session().nextScreen();
            fill(event, action);
            return;
        }
    }
}

DWORD timeGetTime(void)
{
    session().clock().spend(kClockReadCostMicros);
    session().service();
    return nowMs();
}

BOOL GetCursorPos(POINT* point)
{
    session().service();
    if (!point)
        return FALSE;
    point->x = session().mouseX();
    point->y = session().mouseY();
    return TRUE;
}
