// The fake full-screen library, clock and mouse.
#include <algorithm>

#include "fake/fake.h"

namespace fake {
namespace {

struct Input {
    std::deque<InputEvent> queue;
    std::function<void(int)> pollHook;
    int polls = 0;
    std::function<void(int)> waitHook;
    int waits = 0;
    uint32_t now = 0;
    uint32_t step = 1;
    POINT cursor{0, 0};
    std::vector<POINT> path;
    size_t pathIndex = 0;
};

Input& input()
{
    static Input in;
    return in;
}

std::deque<InputEvent>::iterator firstMatching(uint32_t mask)
{
    auto& queue = input().queue;
    return std::find_if(queue.begin(), queue.end(), [mask](const InputEvent& e) { return (e.kind & mask) != 0; });
}

}  // namespace

void resetInput()
{
    input() = Input{};
}

void pushEvent(const InputEvent& event)
{
    input().queue.push_back(event);
}

void pushKey(uint8_t character)
{
    InputEvent event{};
    event.kind = EVENT_KEY_DOWN;
    event.message = character;
    pushEvent(event);
}

void pushKeys(const std::string& characters)
{
    for (char c : characters)
        pushKey(static_cast<uint8_t>(c));
}

void pushMouseButton()
{
    InputEvent event{};
    event.kind = EVENT_MOUSE_DOWN;
    pushEvent(event);
}

size_t queuedEvents()
{
    return input().queue.size();
}

void onPoll(std::function<void(int)> hook)
{
    input().pollHook = std::move(hook);
}

void onWait(std::function<void(int)> hook)
{
    input().waitHook = std::move(hook);
}

void setTime(uint32_t milliseconds)
{
    input().now = milliseconds;
}

void setTimeStep(uint32_t milliseconds)
{
    input().step = milliseconds;
}

void setCursorPos(int32_t x, int32_t y)
{
    input().cursor = POINT{x, y};
    input().path.clear();
}

void setCursorPath(std::vector<POINT> path)
{
    input().path = std::move(path);
    input().pathIndex = 0;
}

}  // namespace fake

using fake::log;

void PL_startFullScreen(HWND, int32_t width, int32_t height)
{
    log("PL_startFullScreen", {width, height});
}

void PL_restoreGDI(void)
{
    log("PL_restoreGDI");
}

int32_t PL_peekEvent(InputEvent* event, uint32_t mask)
{
    log("PL_peekEvent", {mask});
    fake::Input& in = fake::input();
    ++in.polls;
    if (in.pollHook)
        in.pollHook(in.polls);
    auto found = fake::firstMatching(mask);
    if (found == in.queue.end())
        return 0;
    *event = *found;
    return 1;
}

void PL_haltEvent(InputEvent* event, uint32_t mask)
{
    log("PL_haltEvent", {mask});
    fake::Input& in = fake::input();
    ++in.waits;
    if (in.waitHook)
        in.waitHook(in.waits);
    auto found = fake::firstMatching(mask);
    if (found == in.queue.end())
        throw fake::OutOfInput();
    *event = *found;
    in.queue.erase(found);
}

// Clock reads are not logged: delay loops would swamp the log.
DWORD timeGetTime(void)
{
    fake::Input& in = fake::input();
    const DWORD now = in.now;
    in.now += in.step;
    return now;
}

BOOL GetCursorPos(POINT* point)
{
    fake::Input& in = fake::input();
    if (!in.path.empty()) {
        in.cursor = in.path[std::min(in.pathIndex, in.path.size() - 1)];
        ++in.pathIndex;
    }
    *point = in.cursor;
    log("GetCursorPos", {point->x, point->y});
    return TRUE;
}
