// The recording fake of the outside libraries (display, accelerator, full-screen, real-mode
// services and the Win32 subset), for unit tests of the program.
//
// Every outside call is logged with its arguments; results can be scripted per operation;
// a small in-memory picture, dialog model, file system and real-mode memory stand behind
// the calls so that tests can ask which calls were made, in which order, and what they did.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/accel.h"
#include "platform/display.h"
#include "platform/fullscreen.h"
#include "platform/realmode.h"
#include "platform/resources.h"
#include "platform/win32.h"

namespace fake {

// ---- The call log ---------------------------------------------------------------------

struct Call {
    std::string name;           // "GX_lineFast"
    std::vector<int64_t> args;  // integer arguments in order (pointers left out)
    std::string text;           // the string argument, if the operation has one
};

std::vector<Call>& calls();
std::vector<Call> callsNamed(const std::string& name);
std::vector<std::string> callNames();                                      // every call's name, in order
std::vector<std::string> callNames(const std::vector<std::string>& only);  // just these, in order
size_t countOf(const std::string& name);
void log(const std::string& name, std::vector<int64_t> args = {}, std::string text = {});

// Scripted results: a queued result is used once, before the operation's default.
void setResult(const std::string& name, int64_t value);
void queueResult(const std::string& name, int64_t value);
int64_t resultFor(const std::string& name, int64_t fallback);

// Everything back to the start state: log, results, display, input, dialogs, files, memory.
void reset();

// Thrown by PL_haltEvent when the test queued no more input: a test that waits for a key
// it did not provide fails instead of hanging.
struct OutOfInput : std::runtime_error {
    OutOfInput() : std::runtime_error("the program waited for input the test did not queue") {}
};

// ---- Display library ------------------------------------------------------------------

struct FakeMode {
    ModeInfo info{};            // what GX_getModeInfo fills (bitsPerPixel, attributes, ...)
    std::string name;           // what GX_getModeName writes
    int32_t setWith = 0;        // what GX_getModeName returns (0: cannot be offered)
    int32_t setWithLinear = 0;  // its result when use-linear is set
    // The DisplayContext fields GX_setMode fills for the mode.
    int32_t width = 640, height = 480, bitsPerPixel = 8, pages = 2;
};

struct TextItem {
    int32_t page;
    int32_t x, y;
    std::string text;
    uint32_t color;
};

struct Display {
    DisplayContext context{};
    alignas(4) AccelContext accelContext{};  // its 32-bit entries are written through pointers
    bool initFails = false;                  // GX_init returns null
    bool hasAccel = false;                   // GX_setMode sets context.accel
    std::vector<uint16_t> modeList{0xFFFF};
    std::map<int32_t, FakeMode> modes;  // by mode number (as listed and as set)
    VbeInfoBlock info{};                // what VBE_detect copies out
    std::vector<PaletteEntry> defaultPalette = std::vector<PaletteEntry>(256);

    // The picture of the active page (only page 0 and 1 are kept).
    int32_t width = 0, height = 0;
    int32_t activePage = 0, visualPage = 0;
    std::vector<uint32_t> pages[2];
    std::vector<TextItem> texts;  // GX_writeText calls since the last GX_clear of page 0
    std::vector<PaletteEntry> palette = std::vector<PaletteEntry>(256);
    std::vector<std::vector<PaletteEntry>> paletteLoads;  // every GX_/VBE_setPalette, in order
    int32_t dacBits = 6;
    int32_t lastModeSet = 0;
    // Scan-line setters: by default the length is granted as asked, with as many scan lines
    // as fit in videoMemoryKb. A hook decides instead (return 0 to fail).
    std::function<int32_t(bool inBytes, int32_t length, int32_t* bytes, int32_t* pixels, int32_t* lines)> onScanLine;
    bool inLineBracket = false;

    uint32_t pixel(int32_t x, int32_t y) const;  // on the visual page; 0 outside
};
Display& display();

// Adds a mode to modeList and the mode table.
void addMode(uint16_t number, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t pages = 2,
             bool accelerated = false);
// Fills context fields as a real GX_setMode would for a mode of this shape.
void setModeShape(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t pages);
// A copy of text at an address below 4 GB, for the string fields of a VbeInfoBlock.
// Copies live until the process ends.
uint32_t lowString(const std::string& text);

// ---- Full-screen library, clock and mouse ---------------------------------------------

void pushKey(uint8_t character);  // a key press (kind 1)
void pushKeys(const std::string& characters);
void pushMouseButton();                   // the other admitted event (kind 8)
void pushEvent(const InputEvent& event);  // any event
size_t queuedEvents();
// Called whenever the program polls for input (PL_peekEvent), with the number of polls so
// far: a test can make a key arrive "during" an animation.
void onPoll(std::function<void(int pollCount)> hook);
// Called whenever the program blocks for input (PL_haltEvent), before the queue is read, with
// the number of waits so far: a test can answer each prompt only when it is reached.
void onWait(std::function<void(int waitCount)> hook);

void setTime(uint32_t milliseconds);      // timeGetTime's next value
void setTimeStep(uint32_t milliseconds);  // how far each timeGetTime call advances (default 1)
void setCursorPos(int32_t x, int32_t y);
// Optional: each GetCursorPos call takes the next position from this list (then the last).
void setCursorPath(std::vector<POINT> path);

// ---- Win32 dialogs and windows ---------------------------------------------------------

struct Control {
    int id = 0;
    std::string windowClass;
    DWORD style = 0;
    std::string text;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> items;  // list box entries
    int selection = -1;
};

struct Dialog {
    int resourceId = 0;
    const DialogTemplate* source = nullptr;
    DLGPROC procedure = nullptr;
    std::vector<Control> controls;
    RECT rect{0, 0, 300, 200};  // screen rectangle
    bool ended = false;
    INT_PTR result = 0;

    Control* control(int id);
    HWND handle();
    // Acts as the dialog manager would on a click: auto check boxes toggle, auto radio
    // buttons check themselves and clear their group, then WM_COMMAND goes to the procedure.
    void click(int id);
    void command(int id, WORD notification = 0);
    void selectItem(int listId, int index);
};
Dialog* dialogFrom(HWND handle);

// What happens while a modal dialog of this resource id runs: called after WM_INITDIALOG.
// Without a script the dialog ends at once with result 0.
void onDialog(int resourceId, std::function<void(Dialog&)> script);
std::vector<int>& dialogsShown();  // resource ids, in order
void setDesktopSize(int32_t width, int32_t height);
void setDialogSize(int32_t width, int32_t height);  // the rectangle new dialogs get

void setModulePath(const std::string& windowsPath);  // GetModuleFileNameA
void setWindowsVersion(int major, int minor);

struct MessageBoxShown {
    std::string caption;
    std::string text;
    UINT type;
};
std::vector<MessageBoxShown>& messageBoxes();

// ---- Files and child processes ---------------------------------------------------------

std::map<std::string, std::vector<uint8_t>>& files();  // by exact Windows path
// Runs when CreateProcessA starts a child whose application or first word of the command
// line exists in files(). Returns the exit code. Without a handler every child exits 0.
void onProcess(std::function<DWORD(const std::string& commandLine)> handler);
std::vector<std::string>& processesStarted();  // command lines, in order

// ---- Real-mode services ----------------------------------------------------------------

struct RealMode {
    std::vector<uint8_t> memory = std::vector<uint8_t>(0x110000);  // the first megabyte
    uint32_t nextFreeSegment = 0x1000;
    uint32_t freeParagraphs = 0x8000;
    bool allocationFails = false;
    int failAllocationNumber = -1;  // the n-th allocation (0-based) fails
    int allocations = 0;
    // int86 / int86x handler: sees and changes the registers (es in segments).
    std::function<void(int interrupt, RealModeRegs& regs, RealModeSegRegs& segments)> onInterrupt;
    // Far-call handler (RM_callRealMode).
    std::function<void(uint32_t segment, uint32_t offset, RealModeRegs& regs)> onFarCall;
    std::map<uint32_t, uint32_t> liveBlocks;  // linear address -> size
};
RealMode& realMode();
uint8_t* realPointer(uint16_t segment, uint16_t offset);

}  // namespace fake
