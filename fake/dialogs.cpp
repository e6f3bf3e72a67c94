// The fake dialog manager, windows, module, version and message boxes.
#include <cstdio>
#include <cstring>

#include "fake/fake.h"

// The program binds its resources in; unit tests of parts without dialogs link without them.
extern const ModuleResources programResources __attribute__((weak));

namespace fake {
namespace {

struct Windows {
    std::deque<Dialog> dialogs;  // stable addresses for nested dialogs
    std::map<int, std::function<void(Dialog&)>> scripts;
    std::vector<int> shown;
    std::vector<MessageBoxShown> boxes;
    int32_t desktopWidth = 1024, desktopHeight = 768;
    int32_t dialogWidth = 300, dialogHeight = 200;
    std::string modulePath = "C:\\PALISADE\\PALISADE.EXE";
    int major = 4, minor = 0;
};

Windows& windows()
{
    static Windows w;
    return w;
}

char desktopSentinel;

HWND desktopHandle()
{
    return reinterpret_cast<HWND>(&desktopSentinel);
}

bool isDialog(HWND handle)
{
    for (Dialog& d : windows().dialogs)
        if (d.handle() == handle)
            return true;
    return false;
}

Control* controlFrom(HWND handle)
{
    for (Dialog& d : windows().dialogs)
        for (Control& c : d.controls)
            if (reinterpret_cast<HWND>(&c) == handle)
                return &c;
    return nullptr;
}

DWORD buttonKind(const Control& c)
{
    return c.style & 0x0F;
}

bool isAutoRadio(const Control& c)
{
    return c.windowClass == "BUTTON" && buttonKind(c) == BS_AUTORADIOBUTTON;
}

}  // namespace

void resetDialogs()
{
    windows() = Windows{};
}

Control* Dialog::control(int id)
{
    for (Control& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

HWND Dialog::handle()
{
    return reinterpret_cast<HWND>(this);
}

void Dialog::command(int id, WORD notification)
{
    Control* c = control(id);
    procedure(handle(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), notification), reinterpret_cast<LPARAM>(c));
}

void Dialog::click(int id)
{
    Control* c = control(id);
    if (c && c->windowClass == "BUTTON") {
        if (buttonKind(*c) == BS_AUTOCHECKBOX)
            c->checked = !c->checked;
        if (isAutoRadio(*c)) {
            // The group runs from the nearest item with WS_GROUP at or before c to the next one.
            size_t index = static_cast<size_t>(c - controls.data());
            size_t start = index;
            while (start > 0 && !(controls[start].style & WS_GROUP))
                --start;
            for (size_t i = start; i < controls.size(); ++i) {
                if (i > start && (controls[i].style & WS_GROUP))
                    break;
                if (isAutoRadio(controls[i]))
                    controls[i].checked = false;
            }
            c->checked = true;
        }
    }
    command(id, BN_CLICKED);
}

void Dialog::selectItem(int listId, int index)
{
    if (Control* c = control(listId))
        c->selection = index;
}

Dialog* dialogFrom(HWND handle)
{
    return isDialog(handle) ? reinterpret_cast<Dialog*>(handle) : nullptr;
}

void onDialog(int resourceId, std::function<void(Dialog&)> script)
{
    windows().scripts[resourceId] = std::move(script);
}

std::vector<int>& dialogsShown()
{
    return windows().shown;
}

void setDesktopSize(int32_t width, int32_t height)
{
    windows().desktopWidth = width;
    windows().desktopHeight = height;
}

void setDialogSize(int32_t width, int32_t height)
{
    windows().dialogWidth = width;
    windows().dialogHeight = height;
}

void setModulePath(const std::string& windowsPath)
{
    windows().modulePath = windowsPath;
}

void setWindowsVersion(int major, int minor)
{
    windows().major = major;
    windows().minor = minor;
}

std::vector<MessageBoxShown>& messageBoxes()
{
    return windows().boxes;
}

}  // namespace fake

using fake::log;

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM param)
{
    const int id = static_cast<int>(reinterpret_cast<uintptr_t>(templateName));
    log("DialogBoxParamA", {id, owner != nullptr, param});
    fake::Windows& w = fake::windows();
    w.shown.push_back(id);

    fake::Dialog& dialog = w.dialogs.emplace_back();
    dialog.resourceId = id;
    dialog.procedure = procedure;
    dialog.rect = RECT{0, 0, w.dialogWidth, w.dialogHeight};
    if (&programResources != nullptr)
        dialog.source = findDialogTemplate(programResources, id);
    if (dialog.source) {
        for (int i = 0; i < dialog.source->itemCount; ++i) {
            const DialogItemTemplate& item = dialog.source->items[i];
            fake::Control c;
            c.id = item.id;
            c.windowClass = item.windowClass;
            c.style = item.style;
            c.text = item.text ? item.text : "";
            c.enabled = !(item.style & WS_DISABLED);
            dialog.controls.push_back(c);
        }
    }
    procedure(dialog.handle(), WM_INITDIALOG, 0, param);
    auto script = w.scripts.find(id);
    if (script != w.scripts.end() && !dialog.ended)
        script->second(dialog);
    return dialog.result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    log("EndDialog", {result});
    fake::Dialog* d = fake::dialogFrom(dialog);
    if (!d)
        return FALSE;
    d->ended = true;
    d->result = result;
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    fake::Dialog* d = fake::dialogFrom(dialog);
    fake::Control* c = d ? d->control(id) : nullptr;
    return reinterpret_cast<HWND>(c);
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size)
{
    log("GetDlgItemTextA", {id, size});
    fake::Dialog* d = fake::dialogFrom(dialog);
    fake::Control* c = d ? d->control(id) : nullptr;
    if (!c || size <= 0)
        return 0;
    std::snprintf(text, static_cast<size_t>(size), "%s", c->text.c_str());
    return static_cast<UINT>(std::strlen(text));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    log("SetDlgItemTextA", {id}, text);
    fake::Dialog* d = fake::dialogFrom(dialog);
    fake::Control* c = d ? d->control(id) : nullptr;
    if (!c)
        return FALSE;
    c->text = text;
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    log("CheckDlgButton", {id, check});
    fake::Dialog* d = fake::dialogFrom(dialog);
    fake::Control* c = d ? d->control(id) : nullptr;
    if (!c)
        return FALSE;
    c->checked = check == BST_CHECKED;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    log("IsDlgButtonChecked", {id});
    fake::Dialog* d = fake::dialogFrom(dialog);
    fake::Control* c = d ? d->control(id) : nullptr;
    return c && c->checked ? BST_CHECKED : BST_UNCHECKED;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    log("CheckRadioButton", {firstId, lastId, checkId});
    fake::Dialog* d = fake::dialogFrom(dialog);
    if (!d)
        return FALSE;
    for (fake::Control& c : d->controls)
        if (c.id >= firstId && c.id <= lastId)
            c.checked = c.id == checkId;
    return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    fake::Control* c = fake::controlFrom(window);
    log("EnableWindow", {c ? c->id : 0, enable});
    if (!c)
        return FALSE;
    const BOOL wasDisabled = !c->enabled;
    c->enabled = enable != FALSE;
    return wasDisabled;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool textArgument = message == LB_ADDSTRING;
    log("SendDlgItemMessageA", {id, message, static_cast<int64_t>(wParam)},
        textArgument ? reinterpret_cast<const char*>(lParam) : "");
    fake::Dialog* d = fake::dialogFrom(dialog);
    fake::Control* c = d ? d->control(id) : nullptr;
    if (!c)
        return 0;
    const int count = static_cast<int>(c->items.size());
    switch (message) {
    case LB_RESETCONTENT:
        c->items.clear();
        c->selection = -1;
        return 0;
    case LB_ADDSTRING: c->items.emplace_back(reinterpret_cast<const char*>(lParam)); return count;
    case LB_SETCURSEL:
        if (static_cast<int>(wParam) >= 0 && static_cast<int>(wParam) < count) {
            c->selection = static_cast<int>(wParam);
            return c->selection;
        }
        c->selection = -1;
        return LB_ERR;
    case LB_GETCURSEL: return c->selection >= 0 ? c->selection : LB_ERR;
    case LB_GETCOUNT: return count;
    case LB_GETTEXT:
        if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count)
            return LB_ERR;
        std::strcpy(reinterpret_cast<char*>(lParam), c->items[wParam].c_str());
        return static_cast<LRESULT>(c->items[wParam].size());
    case LB_GETTEXTLEN:
        if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count)
            return LB_ERR;
        return static_cast<LRESULT>(c->items[wParam].size());
    case BM_GETCHECK: return c->checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK: c->checked = wParam == BST_CHECKED; return 0;
    default: return 0;
    }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    log("MessageBoxA", {owner != nullptr, type}, std::string(caption) + ": " + text);
    fake::windows().boxes.push_back(fake::MessageBoxShown{caption, text, type});
    return IDOK;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    fake::Windows& w = fake::windows();
    if (window == fake::desktopHandle()) {
        *rect = RECT{0, 0, w.desktopWidth, w.desktopHeight};
    } else if (fake::Dialog* d = fake::dialogFrom(window)) {
        *rect = d->rect;
    } else {
        return FALSE;
    }
    return TRUE;
}

HWND GetDesktopWindow(void)
{
    return fake::desktopHandle();
}

int GetSystemMetrics(int index)
{
    fake::Windows& w = fake::windows();
    return index == SM_CXSCREEN ? w.desktopWidth : index == SM_CYSCREEN ? w.desktopHeight : 0;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    log("MoveWindow", {x, y, width, height, repaint});
    fake::Dialog* d = fake::dialogFrom(window);
    if (!d)
        return FALSE;
    d->rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

DWORD GetModuleFileNameA(HINSTANCE, LPSTR path, DWORD size)
{
    log("GetModuleFileNameA", {size});
    const std::string& module = fake::windows().modulePath;
    if (size == 0)
        return 0;
    std::snprintf(path, size, "%s", module.c_str());
    return static_cast<DWORD>(std::strlen(path));
}

DWORD GetVersion(void)
{
    log("GetVersion");
    fake::Windows& w = fake::windows();
    return static_cast<DWORD>(w.major & 0xFF) | (static_cast<DWORD>(w.minor & 0xFF) << 8);
}

BOOL Ctl3dRegister(HINSTANCE)
{
    log("Ctl3dRegister");
    return TRUE;
}

BOOL Ctl3dAutoSubclass(HINSTANCE)
{
    log("Ctl3dAutoSubclass");
    return TRUE;
}

BOOL Ctl3dUnregister(HINSTANCE)
{
    log("Ctl3dUnregister");
    return TRUE;
}
