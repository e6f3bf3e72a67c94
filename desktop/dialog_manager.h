// The dialog manager: modal dialogs built from templates in dialog units, their controls,
// keyboard and mouse handling as Windows does it, and the desktop they are drawn on.
// The Win32 calls over it (DialogBoxParamA, GetDlgItem, ...) are in dialog_manager.cpp.
#pragma once

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
    std::vector<std::string> items;           // list box
    int selection = -1;
    int topIndex = 0;
};

struct Dialog {
    HWND handle = nullptr;
    std::string name;                         // "dialog 1000", or the message box's
    DLGPROC procedure = nullptr;
    std::string caption;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // window rectangle on the screen
    int clientX = 0, clientY = 0;             // client origin inside the window
    std::vector<Control> controls;
    int focus = -1;                           // index into controls
    bool look3d = true;
    bool exclamation = false;                 // message box icon
    bool ended = false;
    INT_PTR result = 0;
};

// The instance handle under which a module's dialog resources are found.
HINSTANCE instanceFor(const ModuleResources& module);

// Dialog units to pixels, from the dialog font as Windows computes them.
int dialogUnitsToPixelsX(int units);
int dialogUnitsToPixelsY(int units);

// The open dialogs, the owner first; the last one is active.
const std::vector<Dialog*>& openDialogs();
// Handles one input action in the active dialog, as the dialog's loop does.
void dispatch(Dialog& dialog, const Action& action);

// The desktop picture: background and every open dialog.
void renderDesktop(Picture& picture);
// What the person sees: the active dialog's title and name, "SuperVGA Information (dialog 1001)".
std::string describeDesktop();
// The dialog's caption, else its topmost static text or group box label; empty when none.
std::string dialogTitle(const Dialog& dialog);
void drawDialog(Canvas& canvas, const Dialog& dialog, bool active);

// Forgets the 3-D control library registrations (tests).
void resetDialogManager();

}  // namespace desktop
