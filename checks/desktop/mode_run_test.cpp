// The `test` step driving a dialog laid out like the program's main dialog, by its labels:
// every listed mode of "test all", one mode by its size and access, and the steps that cannot
// be done.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checks/desktop/test_clock.h"
#include "desktop/dialog_manager.h"
#include "desktop/session.h"
#include "platform/fullscreen.h"
#include "platform/resources.h"
#include "platform/win32.h"

using desktop::Action;

namespace {

enum : int { DEPTH_8 = 10, DEPTH_16 = 11, DEPTH_32 = 12, LINEAR = 20, LIST = 30, TEST = 40 };

const DialogItemTemplate kItems[] = {
    {"LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_CHILD, 4, 4, 160, 40, LIST},
    {"BUTTON", "8 bit", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_CHILD, 8, 50, 40, 10, DEPTH_8},
    {"BUTTON", "16 bit", BS_AUTORADIOBUTTON | WS_CHILD, 8, 62, 40, 10, DEPTH_16},
    {"BUTTON", "32 bit", BS_AUTORADIOBUTTON | WS_DISABLED | WS_CHILD, 8, 74, 40, 10, DEPTH_32},
    {"BUTTON", "Use linear framebuffer", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP | WS_CHILD, 60, 50, 100, 10, LINEAR},
    {"BUTTON", "Test mode", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP | WS_CHILD, 8, 90, 50, 14, TEST},
    {"BUTTON", "Quit", BS_PUSHBUTTON | WS_TABSTOP | WS_CHILD, 70, 90, 50, 14, IDCANCEL},
};
const DialogTemplate kDialog = {600,
                                WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
                                10,
                                10,
                                170,
                                110,
                                "Modes",
                                8,
                                "MS Sans Serif",
                                kItems,
                                int(sizeof kItems / sizeof kItems[0])};
const DialogTemplate* const kDialogs[] = {&kDialog};
const ModuleResources kModule = {kDialogs, 1};

// The modes each list offers: 8 bit two linear, one banked; 16 bit one linear, none banked.
std::vector<std::string> listed(bool depth16, bool linear)
{
    if (depth16)
        return linear ? std::vector<std::string>{"640 x 480 64K colours (linear)"} : std::vector<std::string>{};
    return linear ? std::vector<std::string>{"640 x 480 256 colours (linear)", "800 x 600 256 colours (linear)"}
                  : std::vector<std::string>{"640 x 480 256 colours (banked)"};
}

struct Observed {
    std::vector<std::string> tested;  // "list entry: keys answered, mouse where the animation ran"
    std::string unsettable;           // a mode the "program" cannot set: it never asks for input
};
Observed run;

void fill(HWND dialog)
{
    SendDlgItemMessageA(dialog, LIST, LB_RESETCONTENT, 0, 0);
    const bool linear = IsDlgButtonChecked(dialog, LINEAR) == BST_CHECKED;
    for (const std::string& entry : listed(IsDlgButtonChecked(dialog, DEPTH_16) == BST_CHECKED, linear))
        SendDlgItemMessageA(dialog, LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendDlgItemMessageA(dialog, LIST, LB_SETCURSEL, 0, 0);
}

// A test run of two screens: one that waits for a key, one that animates until a key.
void testSelected(HWND dialog)
{
    char entry[64] = {};
    SendDlgItemMessageA(dialog, LIST, LB_GETTEXT, WPARAM(SendDlgItemMessageA(dialog, LIST, LB_GETCURSEL, 0, 0)),
                        reinterpret_cast<LPARAM>(entry));
    PL_startFullScreen(dialog, 640, 480);
    if (run.unsettable.empty() || std::string(entry).find(run.unsettable) == std::string::npos) {
        InputEvent event{};
        PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
        const DWORD start = timeGetTime();
        while (!PL_peekEvent(&event, EVENT_MASK_KEY_OR_MOUSE))
            timeGetTime();
        const DWORD animated = timeGetTime() - start;
        PL_haltEvent(&event, EVENT_MASK_KEY_OR_MOUSE);
        run.tested.push_back(std::string(entry) + ": Enter, Enter after " + (animated >= 1000 ? "a second" : "less") +
                             " with the mouse at " + std::to_string(desktop::session().mouseX()) + "," +
                             std::to_string(desktop::session().mouseY()));
    }
    PL_restoreGDI();
}

INT_PTR modesProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        CheckDlgButton(dialog, DEPTH_8, BST_CHECKED);
        CheckDlgButton(dialog, LINEAR, BST_CHECKED);
        fill(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case DEPTH_8:
    case DEPTH_16:
    case LINEAR: fill(dialog); break;
    case TEST: testSelected(dialog); break;
    case IDCANCEL: EndDialog(dialog, 1); break;
    default: break;
    }
    return FALSE;
}

class ModeRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        startScriptedSession(clock);
        desktop::session().setScriptName("t.script");
        desktop::session().setScreenSource(
            [](desktop::Picture& p) {
                p.width = 640;
                p.height = 480;
                p.pixels.assign(640 * 480, 0);
            },
            [](const desktop::Picture&) { return std::string("full screen 640 x 480, 8 bit"); });
        run = Observed{};
    }
    void TearDown() override { desktop::session().reset(); }

    // Runs the dialog with `test MODE` on script line 3, then Esc; the status the run ended with.
    int test(const std::string& mode, std::string& message)
    {
        Action step;
        step.kind = Action::Kind::Test;
        step.text = mode;
        step.line = 3;
        Action esc;
        esc.kind = Action::Kind::Key;
        esc.key = desktop::KEY_ESCAPE;
        desktop::session().enqueue(step);
        desktop::session().enqueue(esc);
        try {
            DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(600), nullptr, modesProcedure, 0);
        } catch (const desktop::RunEnded& ended) {
            message = ended.message;
            return ended.status;
        }
        return 0;
    }
    TestClock clock;
};

TEST_F(ModeRun, AllRunsEveryListedModeInEveryEnabledDepthWithAndWithoutLinear)
{
    std::string message;
    EXPECT_EQ(test("all", message), 0) << message;
    const std::string answered = ": Enter, Enter after a second with the mouse at 320,240";
    EXPECT_EQ(run.tested, (std::vector<std::string>{
                              "640 x 480 256 colours (linear)" + answered,
                              "800 x 600 256 colours (linear)" + answered,
                              "640 x 480 256 colours (banked)" + answered,
                              "640 x 480 64K colours (linear)" + answered,
                          }));
}

TEST_F(ModeRun, OneModeIsFoundByItsSizeDepthAndAccess)
{
    std::string message;
    EXPECT_EQ(test("640x480x8 banked", message), 0) << message;
    ASSERT_EQ(run.tested.size(), 1u);
    EXPECT_EQ(run.tested[0].rfind("640 x 480 256 colours (banked): ", 0), 0u) << run.tested[0];
    run.tested.clear();
    SetUp();
    EXPECT_EQ(test("800x600x8", message), 0) << message;
    ASSERT_EQ(run.tested.size(), 1u);
    EXPECT_EQ(run.tested[0].rfind("800 x 600 256 colours (linear): ", 0), 0u) << run.tested[0];
}

TEST_F(ModeRun, AStepThatCannotBeDoneEndsTheRunNamingItsLineAndTheScreen)
{
    struct Case {
        const char* mode;
        const char* unsettable;
        const char* says;
    };
    const Case cases[] = {
        {"1024x768x8", "",
         "t.script:3: the machine lists no mode 1024 x 768 at 8 bit; the 8-bit list holds 640 x 480 256 colours "
         "(linear), 800 x 600 256 colours (linear); the screen was: Modes (dialog 600)"},
        {"640x480x16 banked", "",
         "t.script:3: the machine lists no mode 640 x 480 at 16 bit (banked); the 16-bit "
         "list holds nothing"},
        {"640x480x32", "", "t.script:3: the dialog offers no 32-bit modes"},
        {"800x600x8", "800",
         "t.script:3: the program came back to its dialog without a test screen: 800 x 600 256 colours (linear) "
         "could not be set"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        SetUp();
        run.unsettable = c.unsettable;
        std::string message;
        EXPECT_EQ(test(c.mode, message), desktop::EXIT_STEP_NOT_DONE);
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        EXPECT_TRUE(run.tested.empty());
    }
}

}  // namespace
