// The dialog engine: modal dialogs built from templates in dialog units, their window handles,
// keyboard and mouse handling as Windows does it, and the desktop they are drawn on.
// The user32 calls over it (DialogBoxParamA, GetDlgItem, ...) are in user32.cpp, the parts'
// places in dialog_geometry.h, their drawing in dialog_look.cpp.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "desktop/canvas.h"
#include "desktop/input.h"
#include "platform/resources.h"
#include "platform/win32.h"

namespace desktop {

enum class ControlKind { Static, GroupBox, PushButton, CheckBox, Radio, ListBox };

struct Control {
    HWND handle = nullptr;
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    DWORD style = 0;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // pixels in the dialog's client area
    bool enabled = true;
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;  // list box
    int selection = -1;
    int topIndex = 0;
};

struct Dialog {
    HWND handle = nullptr;
    std::string name;  // "dialog 1000", or the message box's
    DLGPROC procedure = nullptr;
    std::string caption;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // window rectangle on the screen
    int clientX = 0, clientY = 0;             // client origin inside the window
    std::vector<Control> controls;
    int focus = -1;  // index into controls
    bool look3d = true;
    bool exclamation = false;  // message box icon
    bool ended = false;
    INT_PTR result = 0;
};

// The instance handle under which a module's dialog resources are found.
HINSTANCE instanceFor(const ModuleResources& module);

// Dialog units to pixels, from the dialog font as Windows computes them.
int dialogUnitsToPixelsX(int units);
int dialogUnitsToPixelsY(int units);

// A dialog from its template, placed relative to its owner's client area when it has one.
Dialog buildDialog(const DialogTemplate& dialogTemplate, bool look3d, const Dialog* owner);
// Gives the dialog and its controls window handles and runs its loop until EndDialog.
INT_PTR runModal(Dialog& dialog, LPARAM param);

// The open dialogs, the owner first; the last one is active.
const std::vector<Dialog*>& openDialogs();
// Handles one input action in the active dialog, as the dialog's loop does.
void dispatch(Dialog& dialog, const Action& action);

// The window a handle names: its dialog and control index, -1 for the dialog itself;
// {nullptr, -1} once its dialog has ended.
struct Window {
    Dialog* dialog = nullptr;
    int control = -1;
};
Window windowOf(HWND handle);
Dialog* dialogOf(HWND handle);
Control* controlOf(HWND dialog, int id);
HWND desktopWindow();

// The push button Enter presses: the focused one, else the template's default; -1 for none.
int defaultButton(const Dialog& dialog);
// Moves the focus to the next control with a tab stop (step 1) or the one before (-1).
void moveTabFocus(Dialog& dialog, int step);
// Scrolls a list box so that its selection is shown.
void scrollIntoView(Control& list);

// Windows 3.x draws a module's dialogs flat unless the module has registered the 3-D control
// library and subclassed its dialogs with it; Windows 95 draws every dialog 3-D.
struct ThreeDControls {
    std::set<HINSTANCE> registered;
    std::set<HINSTANCE> autoSubclassed;
};
ThreeDControls& threeDControls();
bool looks3d(HINSTANCE instance);
// A message box looks 3-D once any module has subclassed its dialogs.
bool messageBoxLooks3d();

// The desktop picture: background and every open dialog.
void renderDesktop(Picture& picture);
// What the person sees: the active dialog's title and name, "SuperVGA Information (dialog 1001)".
std::string describeDesktop();
// The dialog's caption, else its topmost static text or group box label; empty when none.
std::string dialogTitle(const Dialog& dialog);
void drawDialog(Canvas& canvas, const Dialog& dialog, bool active);

// Forgets the 3-D control library's registrations (tests).
void resetDialogManager();

}  // namespace desktop
