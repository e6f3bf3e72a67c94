// What reaches the desktop from the person at the monitor, or from a script in their place.
#pragma once

#include <cstdint>
#include <string>

namespace desktop {

// Keys without a character carry their PC scan code in the second byte, as the full-screen
// library's key events do; keys with one carry the character.
constexpr int KEY_TAB = 9;
constexpr int KEY_RETURN = 13;
constexpr int KEY_ESCAPE = 27;
constexpr int KEY_SPACE = 32;
constexpr int KEY_HOME = 0x4700;
constexpr int KEY_UP = 0x4800;
constexpr int KEY_PAGE_UP = 0x4900;
constexpr int KEY_LEFT = 0x4B00;
constexpr int KEY_RIGHT = 0x4D00;
constexpr int KEY_END = 0x4F00;
constexpr int KEY_DOWN = 0x5000;
constexpr int KEY_PAGE_DOWN = 0x5100;

struct Action {
    enum class Kind {
        Key,          // key, shift
        Click,        // press control id of the active dialog
        Select,       // list box id: the first entry containing text, or entry index when >= 0
        DoubleClick,  // double-click the selected entry of list box id (or click button id)
        Mouse,        // move the desktop mouse to x, y
        Button,       // a mouse button press where the mouse is
        ClickAt,      // a mouse press at x, y with 1 or 2 clicks (the window)
        Shot,         // write the monitor picture as text + ".png", captioned caption
        Snap,         // the same at its due time, even while the program does not ask for input
        Test,         // a mode's whole test sequence through the main dialog, text the mode (mode_run.h)
    };
    Kind kind = Kind::Key;
    int key = 0;
    bool shift = false;
    int id = 0;
    std::string text;
    std::string caption;  // shot: what the index page calls the picture
    int index = -1;
    int x = 0;
    int y = 0;
    int clicks = 1;
    uint32_t waitMs = 0;  // becomes available this long after the one before it
    int line = 0;         // script line, 0 for the window, -1 for the command line
    std::string option;   // a step from the command line: the option that asked for it
};

}  // namespace desktop
