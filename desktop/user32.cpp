// The user32 calls of dialogs and windows, and the 3-D control library's, over the dialog engine.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "desktop/dialog_manager.h"
#include "desktop/message_box.h"
#include "desktop/session.h"
#include "platform/win32.h"

using desktop::Control;
using desktop::ControlKind;
using desktop::Dialog;

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM param)
{
    const auto resourceId = reinterpret_cast<uintptr_t>(templateName);
    if (!instance || resourceId > 0xFFFF)
        return -1;
    const DialogTemplate* found =
        findDialogTemplate(*reinterpret_cast<const ModuleResources*>(instance), int(resourceId));
    if (!found)
        return -1;
    Dialog dialog = desktop::buildDialog(*found, desktop::looks3d(instance), desktop::dialogOf(owner));
    dialog.procedure = procedure;
    const INT_PTR result = desktop::runModal(dialog, param);
    desktop::session().refresh(true);
    return result;
}

BOOL EndDialog(HWND window, INT_PTR result)
{
    Dialog* dialog = desktop::dialogOf(window);
    if (!dialog)
        return FALSE;
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    Control* control = desktop::controlOf(dialog, id);
    return control ? control->handle : nullptr;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size)
{
    Control* control = desktop::controlOf(dialog, id);
    if (!text || size <= 0)
        return 0;
    if (!control) {
        text[0] = '\0';
        return 0;
    }
    const size_t length = std::min(control->text.size(), size_t(size) - 1);
    std::memcpy(text, control->text.data(), length);
    text[length] = '\0';
    return UINT(length);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    Control* control = desktop::controlOf(dialog, id);
    if (!control)
        return FALSE;
    control->text = text ? text : "";
    desktop::session().refresh(false);
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    Control* control = desktop::controlOf(dialog, id);
    if (!control)
        return FALSE;
    control->check = check;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    Control* control = desktop::controlOf(dialog, id);
    return control ? control->check : 0;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    Dialog* d = desktop::dialogOf(dialog);
    if (!d)
        return FALSE;
    for (Control& control : d->controls)
        if (control.id >= firstId && control.id <= lastId)
            control.check = control.id == checkId ? BST_CHECKED : BST_UNCHECKED;
    return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    auto [dialog, index] = desktop::windowOf(window);
    if (!dialog || index < 0)
        return FALSE;
    Control& control = dialog->controls[size_t(index)];
    const BOOL wasDisabled = control.enabled ? FALSE : TRUE;
    control.enabled = enable != FALSE;
    if (!control.enabled && dialog->focus == index)
        desktop::moveTabFocus(*dialog, 1);
    return wasDisabled;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    Control* control = desktop::controlOf(dialog, id);
    if (!control)
        return 0;
    auto& items = control->items;
    const auto index = static_cast<intptr_t>(wParam);
    const bool valid = index >= 0 && index < intptr_t(items.size());
    switch (message) {
    case LB_RESETCONTENT:
        items.clear();
        control->selection = -1;
        control->topIndex = 0;
        return 0;
    case LB_ADDSTRING:
        items.emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
        return LRESULT(items.size() - 1);
    case LB_SETCURSEL:
        control->selection = valid ? int(index) : -1;
        desktop::scrollIntoView(*control);
        return valid ? index : LB_ERR;
    case LB_GETCURSEL: return control->selection >= 0 ? control->selection : LB_ERR;
    case LB_GETCOUNT: return LRESULT(items.size());
    case LB_GETTEXT:
        if (!valid || !lParam)
            return LB_ERR;
        std::memcpy(reinterpret_cast<char*>(lParam), items[size_t(index)].c_str(), items[size_t(index)].size() + 1);
        return LRESULT(items[size_t(index)].size());
    case LB_GETTEXTLEN: return valid ? LRESULT(items[size_t(index)].size()) : LB_ERR;
    case BM_GETCHECK: return control->check;
    case BM_SETCHECK: control->check = UINT(wParam); return 0;
    default: return 0;
    }
}

// Centred on the desktop, whatever its owner.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    const std::string message = text ? text : "";
    const std::string title = caption ? caption : "Error";
    if (desktop::session().scripted()) {
        // Nobody to read it: it goes to stderr and is answered.
        std::fprintf(stderr, "palisade: %s: %s\n", title.c_str(), message.c_str());
        return IDOK;
    }
    Dialog box = desktop::messageBox(message, title, type);
    return int(desktop::runModal(box, 0));
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!rect)
        return FALSE;
    if (window == desktop::desktopWindow()) {
        *rect = {0, 0, desktop::session().desktopWidth(), desktop::session().desktopHeight()};
        return TRUE;
    }
    auto [dialog, index] = desktop::windowOf(window);
    if (!dialog)
        return FALSE;
    if (index < 0) {
        *rect = {dialog->x, dialog->y, dialog->x + dialog->width, dialog->y + dialog->height};
    } else {
        const Control& c = dialog->controls[size_t(index)];
        const int left = dialog->x + dialog->clientX + c.x;
        const int top = dialog->y + dialog->clientY + c.y;
        *rect = {left, top, left + c.width, top + c.height};
    }
    return TRUE;
}

HWND GetDesktopWindow(void)
{
    return desktop::desktopWindow();
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN: return desktop::session().desktopWidth();
    case SM_CYSCREEN: return desktop::session().desktopHeight();
    default: return 0;
    }
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    auto [dialog, index] = desktop::windowOf(window);
    if (!dialog)
        return FALSE;
    if (index < 0) {
        dialog->x = x;
        dialog->y = y;
        dialog->width = width;
        dialog->height = height;
    } else {
        Control& c = dialog->controls[size_t(index)];
        c.x = x;
        c.y = y;
        c.width = width;
        c.height = height;
    }
    if (repaint)
        desktop::session().refresh(true);
    return TRUE;
}

BOOL Ctl3dRegister(HINSTANCE instance)
{
    desktop::threeDControls().registered.insert(instance);
    return TRUE;
}

BOOL Ctl3dAutoSubclass(HINSTANCE instance)
{
    if (!desktop::threeDControls().registered.count(instance))
        return FALSE;
    desktop::threeDControls().autoSubclassed.insert(instance);
    return TRUE;
}

BOOL Ctl3dUnregister(HINSTANCE instance)
{
    desktop::threeDControls().registered.erase(instance);
    desktop::threeDControls().autoSubclassed.erase(instance);
    return TRUE;
}
