// The dialog manager driven through its input queue, as a headless run drives it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checks/desktop/test_clock.h"
#include "desktop/dialog_manager.h"
#include "desktop/session.h"
#include "platform/resources.h"
#include "platform/win32.h"

using desktop::Action;

namespace {

enum : int {
    RADIO_A = 10,
    RADIO_B = 11,
    RADIO_C = 12,
    CHECK = 20,
    CHECK_OFF = 21,
    LIST = 30,
    QUIET_LIST = 31,
    RUN = 40
};

const DialogItemTemplate kItems[] = {
    {"BUTTON", "Depth", BS_GROUPBOX | WS_CHILD | WS_VISIBLE, 4, 4, 80, 50, IDC_STATIC},
    {"BUTTON", "A", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_CHILD, 8, 14, 60, 10, RADIO_A},
    {"BUTTON", "B", BS_AUTORADIOBUTTON | WS_CHILD, 8, 26, 60, 10, RADIO_B},
    {"BUTTON", "C", BS_AUTORADIOBUTTON | WS_DISABLED | WS_CHILD, 8, 38, 60, 10, RADIO_C},
    {"BUTTON", "Check", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP | WS_CHILD, 90, 14, 60, 10, CHECK},
    {"BUTTON", "Off", BS_AUTOCHECKBOX | WS_TABSTOP | WS_DISABLED | WS_CHILD, 90, 26, 60, 10, CHECK_OFF},
    {"LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP | WS_CHILD, 4, 60, 100, 40, LIST},
    {"LISTBOX", "", WS_BORDER | WS_TABSTOP | WS_CHILD, 110, 60, 60, 40, QUIET_LIST},
    {"STATIC", "Centred", SS_CENTER | WS_GROUP | WS_CHILD, 4, 104, 100, 8, IDC_STATIC},
    {"BUTTON", "Run", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP | WS_CHILD, 20, 116, 50, 14, RUN},
    {"BUTTON", "Quit", BS_PUSHBUTTON | WS_TABSTOP | WS_CHILD, 80, 116, 50, 14, IDCANCEL},
};
const DialogTemplate kDialog = {500,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
                                10,
                                10,
                                180,
                                136,
                                "Checks",
                                8,
                                "MS Sans Serif",
                                kItems,
                                int(sizeof kItems / sizeof kItems[0])};
const DialogTemplate* const kDialogs[] = {&kDialog};
const ModuleResources kModule = {kDialogs, 1};

struct Command {
    int id;
    int code;
    bool operator==(const Command&) const = default;
};

// What the dialog procedure saw, and the state when Esc ended the dialog.
struct Record {
    std::vector<Command> commands;
    int focusId = 0;
    std::vector<UINT> checks;  // A, B, C, Check
    LRESULT selection = 0;
    LRESULT quietSelection = 0;
    int listTop = 0;  // the first entry the list shows
    bool fromControlHandle = true;
};
Record record;

INT_PTR CALLBACK_checks(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        for (const char* entry : {"one", "two", "three", "four", "five", "six", "seven", "eight"})
            SendDlgItemMessageA(dialog, LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        SendDlgItemMessageA(dialog, LIST, LB_SETCURSEL, 0, 0);
        for (const char* entry : {"red", "green"})
            SendDlgItemMessageA(dialog, QUIET_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        CheckRadioButton(dialog, RADIO_A, RADIO_C, RADIO_A);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    const int id = LOWORD(wParam);
    record.commands.push_back({id, HIWORD(wParam)});
    if (lParam != 0 && reinterpret_cast<HWND>(lParam) != GetDlgItem(dialog, id))
        record.fromControlHandle = false;
    if (id == IDCANCEL) {
        const desktop::Dialog& d = *desktop::openDialogs().back();
        record.focusId = d.focus >= 0 ? d.controls[size_t(d.focus)].id : 0;
        for (int button : {RADIO_A, RADIO_B, RADIO_C, CHECK})
            record.checks.push_back(IsDlgButtonChecked(dialog, button));
        record.selection = SendDlgItemMessageA(dialog, LIST, LB_GETCURSEL, 0, 0);
        record.quietSelection = SendDlgItemMessageA(dialog, QUIET_LIST, LB_GETCURSEL, 0, 0);
        record.listTop = desktop::controlOf(dialog, LIST)->topIndex;
        EndDialog(dialog, 77);
    }
    return FALSE;
}

Action key(int code, bool shift = false)
{
    Action a;
    a.kind = Action::Kind::Key;
    a.key = code;
    a.shift = shift;
    return a;
}
Action onControl(Action::Kind kind, int id, std::string text = {}, int index = -1)
{
    Action a;
    a.kind = kind;
    a.id = id;
    a.text = std::move(text);
    a.index = index;
    return a;
}
Action click(int id)
{
    return onControl(Action::Kind::Click, id);
}
Action select(int id, std::string text)
{
    return onControl(Action::Kind::Select, id, std::move(text));
}
Action selectIndex(int id, int index)
{
    return onControl(Action::Kind::Select, id, {}, index);
}
Action dblclick(int id)
{
    return onControl(Action::Kind::DoubleClick, id);
}

class DialogManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        startScriptedSession(clock);
        desktop::resetDialogManager();
        record = Record{};
    }
    // Runs the dialog over input, then Esc; returns what the dialog procedure saw.
    INT_PTR run(const std::vector<Action>& input)
    {
        for (const Action& a : input)
            desktop::session().enqueue(a);
        desktop::session().enqueue(key(desktop::KEY_ESCAPE));
        return DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, CALLBACK_checks, 0);
    }
    TestClock clock;
};

constexpr UINT X = BST_CHECKED;
constexpr UINT O = BST_UNCHECKED;
constexpr int TAB = desktop::KEY_TAB;
constexpr int DOWN = desktop::KEY_DOWN;
constexpr int UP = desktop::KEY_UP;

struct Case {
    const char* what;
    std::vector<Action> input;
    std::vector<Command> commands;  // before the final Esc
    int focusId;
    std::vector<UINT> checks;  // A, B, C, Check
    LRESULT selection;
    LRESULT quietSelection;
};

TEST_F(DialogManager, KeyboardAndScriptedInputGiveWindowsCommandsAndState)
{
    const Case cases[] = {
        {"focus starts on the first tab stop", {}, {}, RADIO_A, {X, O, O, O}, 0, LB_ERR},
        {"Tab skips the disabled check box", {key(TAB), key(TAB)}, {}, LIST, {X, O, O, O}, 0, LB_ERR},
        {"Tab wraps round to the checked radio button",
         {key(DOWN), key(TAB), key(TAB), key(TAB), key(TAB), key(TAB), key(TAB)},
         {{RADIO_B, BN_CLICKED}},
         RADIO_B,
         {O, X, O, O},
         0,
         LB_ERR},
        {"Shift-Tab goes backwards from the first", {key(TAB, true)}, {}, IDCANCEL, {X, O, O, O}, 0, LB_ERR},
        {"arrows move the check in the group and skip the disabled button",
         {key(DOWN), key(DOWN)},
         {{RADIO_B, BN_CLICKED}, {RADIO_A, BN_CLICKED}},
         RADIO_A,
         {X, O, O, O},
         0,
         LB_ERR},
        {"Up wraps to the last enabled radio button",
         {key(UP)},
         {{RADIO_B, BN_CLICKED}},
         RADIO_B,
         {O, X, O, O},
         0,
         LB_ERR},
        {"Space toggles the focused check box",
         {key(TAB), key(' '), key(' '), key(' ')},
         {{CHECK, BN_CLICKED}, {CHECK, BN_CLICKED}, {CHECK, BN_CLICKED}},
         CHECK,
         {X, O, O, X},
         0,
         LB_ERR},
        {"Enter presses the default push button",
         {key(desktop::KEY_RETURN)},
         {{RUN, BN_CLICKED}},
         RADIO_A,
         {X, O, O, O},
         0,
         LB_ERR},
        {"Enter on a focused push button presses that one",
         {key(TAB, true), key(TAB, true), key(desktop::KEY_RETURN)},
         {{RUN, BN_CLICKED}},
         RUN,
         {X, O, O, O},
         0,
         LB_ERR},
        {"arrows in the list move the selection and notify",
         {key(TAB), key(TAB), key(DOWN), key(DOWN), key(UP)},
         {{LIST, LBN_SELCHANGE}, {LIST, LBN_SELCHANGE}, {LIST, LBN_SELCHANGE}},
         LIST,
         {X, O, O, O},
         1,
         LB_ERR},
        {"a character selects the next entry beginning with it",
         {key(TAB), key(TAB), key('t'), key('T'), key('t')},
         {{LIST, LBN_SELCHANGE}, {LIST, LBN_SELCHANGE}, {LIST, LBN_SELCHANGE}},
         LIST,
         {X, O, O, O},
         1,
         LB_ERR},
        {"Up at the top of the list changes nothing", {key(TAB), key(TAB), key(UP)}, {}, LIST, {X, O, O, O}, 0, LB_ERR},
        {"select by text and double click notify",
         {select(LIST, "hre"), dblclick(LIST)},
         {{LIST, LBN_SELCHANGE}, {LIST, LBN_DBLCLK}},
         LIST,
         {X, O, O, O},
         2,
         LB_ERR},
        {"select by index, last entry", {selectIndex(LIST, 7)}, {{LIST, LBN_SELCHANGE}}, LIST, {X, O, O, O}, 7, LB_ERR},
        {"a list without LBS_NOTIFY selects silently",
         {select(QUIET_LIST, "green"), dblclick(QUIET_LIST)},
         {},
         QUIET_LIST,
         {X, O, O, O},
         0,
         1},
        {"selecting text that is not there keeps the selection",
         {select(LIST, "nine")},
         {},
         RADIO_A,
         {X, O, O, O},
         0,
         LB_ERR},
        {"clicks press buttons and take the focus",
         {click(CHECK), click(RADIO_B), click(RUN)},
         {{CHECK, BN_CLICKED}, {RADIO_B, BN_CLICKED}, {RUN, BN_CLICKED}},
         RUN,
         {O, X, O, X},
         0,
         LB_ERR},
        {"clicks on disabled or missing controls do nothing",
         {click(CHECK_OFF), click(RADIO_C), click(99)},
         {},
         RADIO_A,
         {X, O, O, O},
         0,
         LB_ERR},
        {"clicking the cancel button sends IDCANCEL like Esc",
         {click(IDCANCEL)},
         {},
         IDCANCEL,
         {X, O, O, O},
         0,
         LB_ERR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        EXPECT_EQ(run(c.input), 77);
        std::vector<Command> expected = c.commands;
        expected.push_back({IDCANCEL, BN_CLICKED});
        EXPECT_EQ(record.commands, expected);
        EXPECT_EQ(record.focusId, c.focusId);
        EXPECT_EQ(record.checks, c.checks);
        EXPECT_EQ(record.selection, c.selection);
        EXPECT_EQ(record.quietSelection, c.quietSelection);
        EXPECT_TRUE(record.fromControlHandle);
    }
}

TEST_F(DialogManager, HomeEndAndPageKeysMoveTheListSelectionAndScrollIt)
{
    // The list shows four of its eight entries, so a page is three: one row stays in sight.
    constexpr int HOME = desktop::KEY_HOME, END = desktop::KEY_END;
    constexpr int PGUP = desktop::KEY_PAGE_UP, PGDN = desktop::KEY_PAGE_DOWN;
    const struct {
        const char* what;
        std::vector<int> keys;  // pressed once the list has the focus
        LRESULT selection;
        int listTop;
        size_t changes;  // LBN_SELCHANGE notifications
    } cases[] = {
        {"End selects the last entry and shows it at the bottom", {END}, 7, 4, 1},
        {"Home goes back to the first and scrolls up", {END, HOME}, 0, 0, 2},
        {"Page Down moves a page less one row", {PGDN}, 3, 0, 1},
        {"Page Down stops at the last entry", {PGDN, PGDN, PGDN}, 7, 4, 3},
        {"Page Up moves back a page", {END, PGUP}, 4, 4, 2},
        {"Page Up stops at the first entry", {PGDN, PGUP, PGUP}, 0, 0, 2},
        {"Home on the first entry changes nothing", {HOME}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        std::vector<Action> input = {key(TAB), key(TAB)};
        for (int k : c.keys)
            input.push_back(key(k));
        EXPECT_EQ(run(input), 77);
        EXPECT_EQ(record.selection, c.selection);
        EXPECT_EQ(record.listTop, c.listTop);
        std::vector<Command> expected(c.changes, Command{LIST, LBN_SELCHANGE});
        expected.push_back({IDCANCEL, BN_CLICKED});
        EXPECT_EQ(record.commands, expected);
    }
}

// Disables the default button on the first command, then answers.
INT_PTR disablingProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        EXPECT_FALSE(EnableWindow(GetDlgItem(dialog, RUN), FALSE));
        EXPECT_TRUE(EnableWindow(GetDlgItem(dialog, RUN), FALSE));
        return TRUE;
    }
    if (message == WM_COMMAND) {
        record.commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 5);
    }
    return FALSE;
}

TEST_F(DialogManager, DisabledDefaultButtonIgnoresEnterAndClicks)
{
    for (Action a : {key(desktop::KEY_RETURN), click(RUN), key(desktop::KEY_ESCAPE)})
        desktop::session().enqueue(a);
    EXPECT_EQ(DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, disablingProcedure, 0), 5);
    EXPECT_EQ(record.commands, (std::vector<Command>{{IDCANCEL, BN_CLICKED}}));
}

TEST_F(DialogManager, MissingTemplateFailsWithoutRunning)
{
    EXPECT_EQ(DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(501), nullptr, CALLBACK_checks, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(500), nullptr, CALLBACK_checks, 0), -1);
}

TEST_F(DialogManager, ScriptThatEndsWhileTheDialogWaitsEndsTheRun)
{
    try {
        DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, CALLBACK_checks, 0);
        FAIL() << "the dialog returned without input";
    } catch (const desktop::RunEnded& ended) {
        EXPECT_EQ(ended.status, 3);
        EXPECT_NE(ended.message.find("waits for input on: Checks (dialog 500)"), std::string::npos) << ended.message;
    }
    EXPECT_TRUE(desktop::openDialogs().empty());
}

// The list box messages, checked while the dialog is open.
INT_PTR listProcedure(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto send = [&](UINT m, WPARAM w = 0, LPARAM l = 0) { return SendDlgItemMessageA(dialog, LIST, m, w, l); };
    EXPECT_EQ(send(LB_GETCURSEL), LB_ERR);
    EXPECT_EQ(send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("640 x 480")), 0);
    EXPECT_EQ(send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("A")), 1);
    EXPECT_EQ(send(LB_GETCOUNT), 2);
    EXPECT_EQ(send(LB_GETTEXTLEN, 0), 9);
    char text[32] = {};
    EXPECT_EQ(send(LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 9);
    EXPECT_STREQ(text, "640 x 480");
    EXPECT_EQ(send(LB_GETTEXT, 2, reinterpret_cast<LPARAM>(text)), LB_ERR);
    EXPECT_EQ(send(LB_GETTEXTLEN, WPARAM(-1)), LB_ERR);
    EXPECT_EQ(send(LB_SETCURSEL, 1), 1);
    EXPECT_EQ(send(LB_GETCURSEL), 1);
    EXPECT_EQ(send(LB_SETCURSEL, 5), LB_ERR);
    EXPECT_EQ(send(LB_GETCURSEL), LB_ERR);
    EXPECT_EQ(send(LB_RESETCONTENT), 0);
    EXPECT_EQ(send(LB_GETCOUNT), 0);

    EXPECT_EQ(SendDlgItemMessageA(dialog, CHECK, BM_SETCHECK, BST_CHECKED, 0), 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, CHECK, BM_GETCHECK, 0, 0), LRESULT(BST_CHECKED));
    EXPECT_TRUE(CheckDlgButton(dialog, CHECK, BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, CHECK), BST_UNCHECKED);
    EXPECT_EQ(GetDlgItem(dialog, 99), nullptr);

    char title[8];
    EXPECT_EQ(GetDlgItemTextA(dialog, RUN, title, sizeof title), 3u);
    EXPECT_STREQ(title, "Run");
    EXPECT_TRUE(SetDlgItemTextA(dialog, RUN, "Palisade 32 bit"));
    EXPECT_EQ(GetDlgItemTextA(dialog, RUN, title, sizeof title), 7u);  // cut to the buffer
    EXPECT_STREQ(title, "Palisad");
    EndDialog(dialog, 3);
    return TRUE;
}

TEST_F(DialogManager, ControlMessagesActAsOnWindows)
{
    EXPECT_EQ(DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, listProcedure, 0), 3);
}

// Geometry: the template in dialog units, moved as the program's CenterWindow moves it.
RECT seenRect;
int seenFaceColour;
INT_PTR geometryProcedure(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    GetWindowRect(dialog, &seenRect);
    MoveWindow(dialog, 362, 284, seenRect.right - seenRect.left, seenRect.bottom - seenRect.top, FALSE);
    RECT moved;
    GetWindowRect(dialog, &moved);
    EXPECT_EQ(moved.left, 362);
    EXPECT_EQ(moved.top, 284);
    EXPECT_EQ(moved.right - moved.left, seenRect.right - seenRect.left);
    machine::Picture picture;
    desktop::session().compose(picture);
    // Inside the dialog, in a corner no control covers.
    seenFaceColour = int(picture.pixels[size_t(moved.bottom - 5) * size_t(picture.width) + size_t(moved.left + 5)]);
    EndDialog(dialog, 1);
    return TRUE;
}

TEST_F(DialogManager, TemplatesAreLaidOutInDialogUnitsOfTheFont)
{
    DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, geometryProcedure, 0);
    EXPECT_EQ(seenRect.left, desktop::dialogUnitsToPixelsX(10));
    EXPECT_EQ(seenRect.top, desktop::dialogUnitsToPixelsY(10));
    // Client area plus the frame and caption bar.
    EXPECT_EQ(seenRect.right - seenRect.left, desktop::dialogUnitsToPixelsX(180) + 6);
    EXPECT_EQ(seenRect.bottom - seenRect.top, desktop::dialogUnitsToPixelsY(136) + 6 + 18);
    // 8-point text: a dialog unit is a quarter of a character across and an eighth of it down.
    EXPECT_GE(desktop::dialogUnitsToPixelsX(4), 5);
    EXPECT_LE(desktop::dialogUnitsToPixelsX(4), 8);
    EXPECT_GE(desktop::dialogUnitsToPixelsY(8), 12);
    EXPECT_LE(desktop::dialogUnitsToPixelsY(8), 14);

    RECT screen;
    GetWindowRect(GetDesktopWindow(), &screen);
    EXPECT_EQ(screen.right, 1024);
    EXPECT_EQ(screen.bottom, 768);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

TEST_F(DialogManager, Windows3DialogsAreFlatUnlessTheThreeDLibraryIsRegistered)
{
    const HINSTANCE instance = desktop::instanceFor(kModule);
    struct Look {
        const char* what;
        int major, minor;
        bool reg, subclass;
        int face;
    };
    const int grey = 0xC0C0C0, white = 0xFFFFFF;
    for (const Look& look :
         {Look{"Windows 95", 4, 0, false, false, grey}, Look{"Windows 3.1", 3, 10, false, false, white},
          Look{"3.1, registered only", 3, 10, true, false, white},
          Look{"3.1 with the 3-D library", 3, 10, true, true, grey}}) {
        SCOPED_TRACE(look.what);
        SetUp();
        desktop::session().setVersion(look.major, look.minor);
        if (look.reg)
            Ctl3dRegister(instance);
        if (look.subclass)
            Ctl3dAutoSubclass(instance);
        DialogBoxParamA(instance, MAKEINTRESOURCEA(500), nullptr, geometryProcedure, 0);
        EXPECT_EQ(seenFaceColour, look.face);
    }
    SetUp();
    desktop::session().setVersion(3, 10);
    Ctl3dRegister(instance);
    Ctl3dAutoSubclass(instance);
    Ctl3dUnregister(instance);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(500), nullptr, geometryProcedure, 0);
    EXPECT_EQ(seenFaceColour, white);
}

TEST_F(DialogManager, HeadlessMessageBoxGoesToStderrAndIsAnswered)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Fatal error installing KestrelLib!", "Fatal Error!", 0x2030), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "palisade: Fatal Error!: Fatal error installing KestrelLib!\n");
}

TEST_F(DialogManager, WindowMessageBoxIsAModalDialogClosedByEnter)
{
    desktop::session().setScripted(false);
    desktop::session().enqueue(key('x'));
    desktop::session().enqueue(key(desktop::KEY_RETURN));
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK | MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(desktop::session().queued(), 0u);
}

}  // namespace

namespace {

// Mouse input, aimed at controls where the dialog manager placed them.
INT_PTR mouseProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        for (const char* entry : {"one", "two", "three"})
            SendDlgItemMessageA(dialog, LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        RECT r;
        auto at = [&](int id, int dx, int dy, int clicks) {
            GetWindowRect(GetDlgItem(dialog, id), &r);
            Action a;
            a.kind = Action::Kind::ClickAt;
            a.x = r.left + dx;
            a.y = r.top + dy;
            a.clicks = clicks;
            desktop::session().enqueue(a);
        };
        at(CHECK, 3, 3, 1);                                        // the check box
        at(CHECK_OFF, 3, 3, 1);                                    // disabled: nothing
        at(LIST, 8, 2 + desktop::dialogUnitsToPixelsY(8) + 3, 2);  // second row, double click
        GetWindowRect(GetDlgItem(dialog, RADIO_B), &r);
        Action move;
        move.kind = Action::Kind::Mouse;
        move.x = r.left + 2;
        move.y = r.top + 2;
        desktop::session().enqueue(move);
        Action button;
        button.kind = Action::Kind::Button;
        desktop::session().enqueue(button);  // a press where the mouse is
        RECT window;
        GetWindowRect(dialog, &window);
        Action close;
        close.kind = Action::Kind::ClickAt;
        close.x = window.right - 12;
        close.y = window.top + 10;
        desktop::session().enqueue(close);  // the caption's close box
        return TRUE;
    }
    if (message == WM_COMMAND) {
        record.commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        if (LOWORD(wParam) == IDCANCEL) {
            record.selection = SendDlgItemMessageA(dialog, LIST, LB_GETCURSEL, 0, 0);
            EndDialog(dialog, 9);
        }
    }
    return FALSE;
}

TEST_F(DialogManager, MouseClicksHitTheControlsWhereTheyAreDrawn)
{
    EXPECT_EQ(DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, mouseProcedure, 0), 9);
    EXPECT_EQ(record.commands, (std::vector<Command>{{CHECK, BN_CLICKED},
                                                     {LIST, LBN_SELCHANGE},
                                                     {LIST, LBN_DBLCLK},
                                                     {RADIO_B, BN_CLICKED},
                                                     {IDCANCEL, BN_CLICKED}}));
    EXPECT_EQ(record.selection, 1);
}

}  // namespace

namespace {

uint32_t ownerPixel = 0;
uint32_t backgroundPixel = 0;

INT_PTR ownedProcedure(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        machine::Picture picture;
        desktop::session().compose(picture);
        RECT owner;
        GetWindowRect(desktop::openDialogs().front()->handle, &owner);
        ownerPixel = picture.pixels[size_t(owner.top + 4) * size_t(picture.width) + size_t(owner.left + 4)];
        backgroundPixel =
            picture.pixels[size_t(picture.height - 1) * size_t(picture.width) + size_t(picture.width - 1)];
        EXPECT_EQ(desktop::openDialogs().size(), 2u);
        EndDialog(dialog, 4);
    }
    return FALSE;
}

INT_PTR ownerProcedure(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG) {
        EXPECT_EQ(DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), dialog, ownedProcedure, 0), 4);
        EXPECT_EQ(desktop::openDialogs().size(), 1u);
        EndDialog(dialog, 6);
    }
    return FALSE;
}

TEST_F(DialogManager, OwnerDialogStaysDrawnBeneathTheOneItOpened)
{
    EXPECT_EQ(DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, ownerProcedure, 0), 6);
    EXPECT_TRUE(desktop::openDialogs().empty());
    EXPECT_EQ(ownerPixel, 0x808080u);       // the owner's caption bar, drawn inactive
    EXPECT_EQ(backgroundPixel, 0x008080u);  // the desktop
}

}  // namespace

namespace {

// What the index page and the end-of-script message call a dialog.
TEST(DialogTitle, IsTheCaptionElseTheTopLineOfText)
{
    auto control = [](desktop::ControlKind kind, const char* text, int x, int y) {
        desktop::Control c;
        c.kind = kind;
        c.text = text;
        c.x = x;
        c.y = y;
        return c;
    };
    using K = desktop::ControlKind;
    struct Case {
        const char* what;
        const char* caption;
        std::vector<desktop::Control> controls;
        const char* title;
    };
    const Case cases[] = {
        {"caption", "No VESA VBE detected!", {control(K::Static, "Title", 0, 0)}, "No VESA VBE detected!"},
        {"title line above the first static of the template",
         "",
         {control(K::Static, "Video mode to test:", 10, 50), control(K::Static, "Palisade  Release\n6.0", 30, 10)},
         "Palisade Release 6.0"},
        {"group box label",
         "",
         {control(K::PushButton, "OK", 0, 0), control(K::GroupBox, " SuperVGA Information ", 8, 6),
          control(K::Static, "VBE Version:", 15, 20)},
         "SuperVGA Information"},
        {"blank statics are passed over",
         "",
         {control(K::Static, "  ", 0, 0), control(K::Static, "Left", 5, 9), control(K::Static, "Right", 90, 9)},
         "Left"},
        {"nothing to read", "", {control(K::ListBox, "", 0, 0), control(K::CheckBox, "Option", 0, 0)}, ""},
    };
    for (const Case& c : cases) {
        desktop::Dialog dialog;
        dialog.caption = c.caption;
        dialog.controls = c.controls;
        EXPECT_EQ(desktop::dialogTitle(dialog), c.title) << c.what;
    }
}

}  // namespace

namespace {

// The mouse aimed by the picture alone: each part is found where it is drawn, by its look,
// and clicked there.
struct Spot {
    int x, y;
};

// Every place where the pattern is drawn inside the rectangle, by its centre. In the pattern,
// '#' is black, '.' the face grey, 'w' white.
std::vector<Spot> findDrawn(const machine::Picture& picture, const RECT& within,
                            const std::vector<std::string>& pattern)
{
    auto colour = [](char c) { return c == '#' ? 0x000000u : c == '.' ? 0xC0C0C0u : 0xFFFFFFu; };
    const int height = int(pattern.size()), width = int(pattern[0].size());
    std::vector<Spot> found;
    for (int y = int(within.top); y + height <= int(within.bottom); ++y)
        for (int x = int(within.left); x + width <= int(within.right); ++x) {
            bool same = true;
            for (int row = 0; row < height && same; ++row)
                for (int col = 0; col < width && same; ++col)
                    same = (picture.pixels[size_t(y + row) * size_t(picture.width) + size_t(x + col)] & 0xFFFFFF) ==
                           colour(pattern[size_t(row)][size_t(col)]);
            if (same)
                found.push_back({x + width / 2, y + height / 2});
        }
    return found;
}

int topIndexAtCancel = -1;

INT_PTR aimedByPictureProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        for (int i = 0; i < 20; ++i) {
            const std::string entry = "entry " + std::to_string(i);
            SendDlgItemMessageA(dialog, LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
        machine::Picture picture;
        desktop::session().compose(picture);
        RECT window, check, list;
        GetWindowRect(dialog, &window);
        GetWindowRect(GetDlgItem(dialog, CHECK), &check);
        GetWindowRect(GetDlgItem(dialog, LIST), &list);
        const auto closeBox =
            findDrawn(picture, window, {"##....##", ".##..##.", "..####..", "...##...", "..####..", ".##..##."});
        // The square's dark top left corner, and its white inside.
        std::vector<std::string> square(10, "#wwwwwwwww");
        square[0] = "##########";
        const auto checkSquare = findDrawn(picture, check, square);
        const auto upArrow =
            findDrawn(picture, list, {".........", "....#....", "...###...", "..#####..", ".#######.", "........."});
        const auto downArrow =
            findDrawn(picture, list, {".........", ".#######.", "..#####..", "...###...", "....#....", "........."});
        const auto track = findDrawn(picture, list, {"w.w", ".w.", "w.w"});
        EXPECT_EQ(closeBox.size(), 1u);
        EXPECT_EQ(checkSquare.size(), 1u);
        EXPECT_EQ(upArrow.size(), 1u);
        EXPECT_EQ(downArrow.size(), 1u);
        EXPECT_FALSE(track.empty());
        if (closeBox.empty() || checkSquare.empty() || upArrow.empty() || downArrow.empty() || track.empty())
            return TRUE;
        auto clickOn = [](Spot spot) {
            Action a;
            a.kind = Action::Kind::ClickAt;
            a.x = spot.x;
            a.y = spot.y;
            desktop::session().enqueue(a);
        };
        clickOn(checkSquare[0]);
        clickOn(downArrow[0]);  // one entry down
        clickOn(track.back());  // the track just above the down arrow: a page down
        clickOn(upArrow[0]);    // one entry up
        clickOn(closeBox[0]);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        record.commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        if (LOWORD(wParam) == IDCANCEL) {
            record.checks = {IsDlgButtonChecked(dialog, CHECK)};
            topIndexAtCancel = desktop::controlOf(dialog, LIST)->topIndex;
            EndDialog(dialog, 9);
        }
    }
    return FALSE;
}

TEST_F(DialogManager, MouseActsOnThePartsWhereThePictureShowsThem)
{
    for (const auto& [look, major, minor] : {std::tuple{"Windows 95", 4, 0}, std::tuple{"Windows 3.1, flat", 3, 10}}) {
        SCOPED_TRACE(look);
        SetUp();
        topIndexAtCancel = -1;
        desktop::session().setVersion(major, minor);
        EXPECT_EQ(
            DialogBoxParamA(desktop::instanceFor(kModule), MAKEINTRESOURCEA(500), nullptr, aimedByPictureProcedure, 0),
            9);
        EXPECT_EQ(record.commands, (std::vector<Command>{{CHECK, BN_CLICKED}, {IDCANCEL, BN_CLICKED}}));
        EXPECT_EQ(record.checks, std::vector<UINT>{X});
        // Four rows are shown: down one, a page of four down, up one.
        EXPECT_EQ(topIndexAtCancel, 1 + 4 - 1);
    }
}

}  // namespace
