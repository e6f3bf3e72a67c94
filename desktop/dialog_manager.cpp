#include "desktop/dialog_manager.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "desktop/font.h"
#include "desktop/session.h"

namespace desktop {

namespace {

// Frame and caption sizes of a Windows 95 dialog.
constexpr int kFrame = 3;
constexpr int kCaption = 18;
constexpr uintptr_t kDesktopHandle = 0x10;

struct Registry {
    std::vector<Dialog*> open;
    std::map<uintptr_t, std::pair<Dialog*, int>> windows;  // control index, -1 for the dialog
    uintptr_t nextHandle = 0x100;
    std::set<HINSTANCE> registered3d;
    std::set<HINSTANCE> autoSubclassed3d;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

HWND newHandle(Dialog* dialog, int index)
{
    Registry& r = registry();
    const uintptr_t value = r.nextHandle;
    r.nextHandle += 4;
    r.windows[value] = {dialog, index};
    return reinterpret_cast<HWND>(value);
}

std::pair<Dialog*, int> lookUp(HWND window)
{
    auto found = registry().windows.find(reinterpret_cast<uintptr_t>(window));
    if (found == registry().windows.end())
        return {nullptr, -1};
    return found->second;
}

Dialog* dialogOf(HWND window)
{
    auto [dialog, index] = lookUp(window);
    return index < 0 ? dialog : nullptr;
}

Control* controlOf(HWND dialogHandle, int id)
{
    Dialog* dialog = dialogOf(dialogHandle);
    if (!dialog)
        return nullptr;
    for (Control& control : dialog->controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

ControlKind kindOf(const DialogItemTemplate& item)
{
    const std::string cls = item.windowClass ? item.windowClass : "";
    if (cls == "LISTBOX")
        return ControlKind::ListBox;
    if (cls == "BUTTON") {
        switch (item.style & 0x0F) {
        case BS_DEFPUSHBUTTON:
        case BS_PUSHBUTTON: return ControlKind::PushButton;
        case BS_AUTOCHECKBOX: return ControlKind::CheckBox;
        case BS_GROUPBOX: return ControlKind::GroupBox;
        case BS_AUTORADIOBUTTON: return ControlKind::Radio;
        default: return ControlKind::PushButton;
        }
    }
    return ControlKind::Static;
}

bool isButton(const Control& control)
{
    return control.kind == ControlKind::PushButton || control.kind == ControlKind::CheckBox ||
           control.kind == ControlKind::Radio;
}

bool canFocus(const Control& control)
{
    return control.enabled && control.kind != ControlKind::Static && control.kind != ControlKind::GroupBox;
}

LRESULT command(Dialog& dialog, int id, WORD code, HWND from)
{
    if (!dialog.procedure)
        return 0;
    return dialog.procedure(dialog.handle, WM_COMMAND, MAKEWPARAM(WORD(id), code), reinterpret_cast<LPARAM>(from));
}

// The group of control index: from the control that starts it (WS_GROUP, or the first) to the
// one before the next start.
std::pair<int, int> groupOf(const Dialog& dialog, int index)
{
    int first = index;
    while (first > 0 && !(dialog.controls[size_t(first)].style & WS_GROUP))
        --first;
    int last = index;
    while (last + 1 < int(dialog.controls.size()) && !(dialog.controls[size_t(last) + 1].style & WS_GROUP))
        ++last;
    return {first, last};
}

int listRows(const Control& list)
{
    return std::max(1, (list.height - 4) / dialogFont().height());
}

void scrollIntoView(Control& list)
{
    if (list.selection < 0)
        return;
    const int rows = listRows(list);
    if (list.selection < list.topIndex)
        list.topIndex = list.selection;
    else if (list.selection >= list.topIndex + rows)
        list.topIndex = list.selection - rows + 1;
}

void selectEntry(Dialog& dialog, Control& list, int index)
{
    if (index < 0 || index >= int(list.items.size()) || index == list.selection)
        return;
    list.selection = index;
    scrollIntoView(list);
    if (list.style & LBS_NOTIFY)
        command(dialog, list.id, LBN_SELCHANGE, list.handle);
}

void setFocus(Dialog& dialog, int index)
{
    if (index >= 0 && dialog.controls[size_t(index)].kind == ControlKind::Radio) {
        // Entering a radio group lands on its checked button.
        auto [first, last] = groupOf(dialog, index);
        for (int i = first; i <= last; ++i) {
            const Control& c = dialog.controls[size_t(i)];
            if (c.kind == ControlKind::Radio && c.enabled && c.check == BST_CHECKED && i != index &&
                !(dialog.controls[size_t(index)].check == BST_CHECKED)) {
                index = i;
                break;
            }
        }
    }
    dialog.focus = index;
}

bool sameRadioGroup(const Dialog& dialog, int a, int b)
{
    return dialog.controls[size_t(a)].kind == ControlKind::Radio && dialog.controls[size_t(b)].kind == ControlKind::Radio &&
           groupOf(dialog, a) == groupOf(dialog, b);
}

// Tab and Shift-Tab: the next control with a tab stop, leaving a radio group as one stop.
void moveTabFocus(Dialog& dialog, int step)
{
    const int count = int(dialog.controls.size());
    const int from = dialog.focus;
    int i = from < 0 ? (step > 0 ? -1 : 0) : from;
    for (int n = 0; n < count; ++n) {
        i = (i + step + count) % count;
        const Control& c = dialog.controls[size_t(i)];
        if (from >= 0 && sameRadioGroup(dialog, from, i))
            continue;
        if ((c.style & WS_TABSTOP) && canFocus(c)) {
            setFocus(dialog, i);
            return;
        }
    }
}

void press(Dialog& dialog, int index)
{
    Control& c = dialog.controls[size_t(index)];
    if (!c.enabled)
        return;
    if (c.kind == ControlKind::CheckBox) {
        c.check = c.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    } else if (c.kind == ControlKind::Radio) {
        auto [first, last] = groupOf(dialog, index);
        for (int i = first; i <= last; ++i)
            if (dialog.controls[size_t(i)].kind == ControlKind::Radio)
                dialog.controls[size_t(i)].check = BST_UNCHECKED;
        c.check = BST_CHECKED;
    } else if (c.kind != ControlKind::PushButton) {
        return;
    }
    command(dialog, c.id, BN_CLICKED, c.handle);
}

// Arrows move within the focused control's group; on radio buttons they carry the check.
void moveInGroup(Dialog& dialog, int step)
{
    auto [first, last] = groupOf(dialog, dialog.focus);
    const int size = last - first + 1;
    int i = dialog.focus;
    for (int n = 1; n < size; ++n) {
        i = first + ((i - first + step + size) % size);
        const Control& c = dialog.controls[size_t(i)];
        if (!canFocus(c))
            continue;
        dialog.focus = i;
        if (c.kind == ControlKind::Radio)
            press(dialog, i);
        return;
    }
}

int defaultButton(const Dialog& dialog)
{
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& c = dialog.controls[i];
        if (c.kind == ControlKind::PushButton && (c.style & 0x0F) == BS_DEFPUSHBUTTON)
            return int(i);
    }
    return -1;
}

void handleKey(Dialog& dialog, int key, bool shift)
{
    Control* focused = dialog.focus >= 0 ? &dialog.controls[size_t(dialog.focus)] : nullptr;
    switch (key) {
    case KEY_TAB:
        moveTabFocus(dialog, shift ? -1 : 1);
        return;
    case KEY_ESCAPE: {
        Control* cancel = controlOf(dialog.handle, IDCANCEL);
        command(dialog, IDCANCEL, BN_CLICKED, cancel ? cancel->handle : nullptr);
        return;
    }
    case KEY_RETURN: {
        // A focused push button is the default for the moment; otherwise the template's.
        if (focused && focused->kind == ControlKind::PushButton) {
            press(dialog, dialog.focus);
            return;
        }
        const int index = defaultButton(dialog);
        if (index >= 0 && dialog.controls[size_t(index)].enabled)
            press(dialog, index);
        else if (index < 0)
            command(dialog, IDOK, BN_CLICKED, nullptr);
        return;
    }
    case KEY_SPACE:
        if (focused && isButton(*focused))
            press(dialog, dialog.focus);
        return;
    case KEY_UP:
    case KEY_LEFT:
    case KEY_DOWN:
    case KEY_RIGHT: {
        if (!focused)
            return;
        const int step = key == KEY_UP || key == KEY_LEFT ? -1 : 1;
        if (focused->kind == ControlKind::ListBox) {
            if (focused->items.empty())
                return;
            const int from = focused->selection < 0 ? (step > 0 ? -1 : 1) : focused->selection;
            selectEntry(dialog, *focused, std::clamp(from + step, 0, int(focused->items.size()) - 1));
        } else {
            moveInGroup(dialog, step);
        }
        return;
    }
    default:
        // In a list, a character selects the next entry that begins with it, as on Windows.
        if (focused && focused->kind == ControlKind::ListBox && key > KEY_SPACE && key < 0x7F) {
            const int count = int(focused->items.size());
            for (int n = 1; n <= count; ++n) {
                const int i = (focused->selection + n + count) % count;
                const std::string& item = focused->items[size_t(i)];
                if (!item.empty() && std::tolower(static_cast<unsigned char>(item[0])) == std::tolower(key)) {
                    selectEntry(dialog, *focused, i);
                    return;
                }
            }
        }
        return;
    }
}

int indexOfId(const Dialog& dialog, int id)
{
    for (size_t i = 0; i < dialog.controls.size(); ++i)
        if (dialog.controls[i].id == id)
            return int(i);
    return -1;
}

// Which button or list is under a point of the screen; texts and group boxes take no clicks.
int hitTest(const Dialog& dialog, int x, int y)
{
    const int cx = x - dialog.x - dialog.clientX;
    const int cy = y - dialog.y - dialog.clientY;
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& c = dialog.controls[i];
        if (c.kind != ControlKind::Static && c.kind != ControlKind::GroupBox && cx >= c.x && cx < c.x + c.width &&
            cy >= c.y && cy < c.y + c.height)
            return int(i);
    }
    return -1;
}

// The caption's close box, as drawn: it gives the cancel command, as on Windows.
bool onCloseBox(const Dialog& dialog, int x, int y)
{
    if ((dialog.style & WS_CAPTION) != WS_CAPTION || !(dialog.style & WS_SYSMENU))
        return false;
    const int right = dialog.x + dialog.width - 5;
    const int top = dialog.y + 3 + (dialog.clientY - 4 - 14) / 2;
    return x >= right - 16 && x < right && y >= top && y < top + 14;
}

void clickAt(Dialog& dialog, int x, int y, int clicks)
{
    if (onCloseBox(dialog, x, y)) {
        command(dialog, IDCANCEL, BN_CLICKED, nullptr);
        return;
    }
    const int index = hitTest(dialog, x, y);
    if (index < 0)
        return;
    Control& c = dialog.controls[size_t(index)];
    if (!c.enabled)
        return;
    dialog.focus = index;
    if (c.kind != ControlKind::ListBox) {
        press(dialog, index);
        return;
    }
    const int rowHeight = dialogFont().height();
    const int localX = x - dialog.x - dialog.clientX - c.x;
    const int localY = y - dialog.y - dialog.clientY - c.y - 2;
    const bool scrollBar = (c.style & WS_VSCROLL) && int(c.items.size()) > listRows(c) && localX >= c.width - 18;
    if (scrollBar) {
        const int maxTop = std::max(0, int(c.items.size()) - listRows(c));
        c.topIndex = std::clamp(c.topIndex + (localY < c.height / 2 ? -1 : 1), 0, maxTop);
        return;
    }
    const int row = c.topIndex + localY / rowHeight;
    if (row < 0 || row >= int(c.items.size()))
        return;
    selectEntry(dialog, c, row);
    if (clicks >= 2 && (c.style & LBS_NOTIFY))
        command(dialog, c.id, LBN_DBLCLK, c.handle);
}

bool look3dFor(HINSTANCE instance)
{
    if ((session().version() & 0xFF) >= 4)
        return true;
    const Registry& r = registry();
    return r.registered3d.count(instance) && r.autoSubclassed3d.count(instance);
}

Dialog build(const DialogTemplate& dialogTemplate, HINSTANCE instance, Dialog* owner)
{
    Dialog dialog;
    dialog.name = "dialog " + std::to_string(dialogTemplate.resourceId);
    dialog.caption = dialogTemplate.caption ? dialogTemplate.caption : "";
    dialog.style = dialogTemplate.style;
    dialog.look3d = look3dFor(instance);
    const bool captioned = (dialog.style & WS_CAPTION) == WS_CAPTION;
    dialog.clientX = kFrame;
    dialog.clientY = kFrame + (captioned ? kCaption : 0);
    dialog.width = dialogUnitsToPixelsX(dialogTemplate.cx) + 2 * kFrame;
    dialog.height = dialogUnitsToPixelsY(dialogTemplate.cy) + dialog.clientY + kFrame;
    dialog.x = dialogUnitsToPixelsX(dialogTemplate.x) + (owner ? owner->x + owner->clientX : 0);
    dialog.y = dialogUnitsToPixelsY(dialogTemplate.y) + (owner ? owner->y + owner->clientY : 0);
    for (int i = 0; i < dialogTemplate.itemCount; ++i) {
        const DialogItemTemplate& item = dialogTemplate.items[i];
        Control c;
        c.id = item.id;
        c.kind = kindOf(item);
        c.style = item.style;
        c.text = item.text ? item.text : "";
        c.x = dialogUnitsToPixelsX(item.x);
        c.y = dialogUnitsToPixelsY(item.y);
        c.width = dialogUnitsToPixelsX(item.cx);
        c.height = dialogUnitsToPixelsY(item.cy);
        c.enabled = !(item.style & WS_DISABLED);
        dialog.controls.push_back(std::move(c));
    }
    return dialog;
}

INT_PTR runModal(Dialog& dialog, LPARAM param)
{
    Registry& r = registry();
    dialog.handle = newHandle(&dialog, -1);
    for (size_t i = 0; i < dialog.controls.size(); ++i)
        dialog.controls[i].handle = newHandle(&dialog, int(i));
    r.open.push_back(&dialog);

    // However the dialog ends (EndDialog, or the run ending under it), its handles go.
    struct Close {
        Dialog& dialog;
        ~Close()
        {
            Registry& r = registry();
            r.open.pop_back();
            for (auto it = r.windows.begin(); it != r.windows.end();)
                it = it->second.first == &dialog ? r.windows.erase(it) : std::next(it);
        }
    } close{dialog};

    const INT_PTR focusFirst = dialog.procedure ? dialog.procedure(dialog.handle, WM_INITDIALOG, 0, param) : TRUE;
    if (focusFirst && dialog.focus < 0)
        moveTabFocus(dialog, 1);
    while (!dialog.ended) {
        const Action action = session().wait();
        dispatch(dialog, action);
    }
    return dialog.result;
}

INT_PTR messageBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        EndDialog(dialog, IDOK);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

HINSTANCE instanceFor(const ModuleResources& module)
{
    return reinterpret_cast<HINSTANCE>(const_cast<ModuleResources*>(&module));
}

int dialogUnitsToPixelsX(int units)
{
    return units * dialogFont().averageCharWidth() / 4;
}

int dialogUnitsToPixelsY(int units)
{
    return units * dialogFont().height() / 8;
}

const std::vector<Dialog*>& openDialogs()
{
    return registry().open;
}

void resetDialogManager()
{
    Registry& r = registry();
    r.registered3d.clear();
    r.autoSubclassed3d.clear();
}

void dispatch(Dialog& dialog, const Action& action)
{
    using Kind = Action::Kind;
    switch (action.kind) {
    case Kind::Key:
        handleKey(dialog, action.key, action.shift);
        return;
    case Kind::Click:
    case Kind::DoubleClick:
    case Kind::Select: {
        const int index = indexOfId(dialog, action.id);
        if (index < 0) {
            session().remark(action, dialog.name + " has no control " + std::to_string(action.id));
            return;
        }
        Control& c = dialog.controls[size_t(index)];
        if (!c.enabled) {
            session().remark(action, "control " + std::to_string(action.id) + " is disabled");
            return;
        }
        if (action.kind == Kind::Click || c.kind != ControlKind::ListBox) {
            if (action.kind == Kind::Select) {
                session().remark(action, "control " + std::to_string(action.id) + " is not a list box");
                return;
            }
            if (canFocus(c))
                dialog.focus = index;
            press(dialog, index);
            return;
        }
        if (action.kind == Kind::DoubleClick) {
            dialog.focus = index;
            if (c.selection >= 0 && (c.style & LBS_NOTIFY))
                command(dialog, c.id, LBN_DBLCLK, c.handle);
            return;
        }
        int entry = action.index;
        for (size_t i = 0; i < c.items.size() && entry < 0 && action.index < 0; ++i)
            if (c.items[i].find(action.text) != std::string::npos)
                entry = int(i);
        if (entry < 0 || entry >= int(c.items.size())) {
            session().remark(action, "list box " + std::to_string(action.id) + " has no entry " +
                                         (action.index >= 0 ? "#" + std::to_string(action.index) : "with \"" + action.text + "\""));
            return;
        }
        dialog.focus = index;
        selectEntry(dialog, c, entry);
        return;
    }
    case Kind::Button:
        clickAt(dialog, session().mouseX(), session().mouseY(), 1);
        return;
    case Kind::ClickAt:
        session().setMouse(action.x, action.y);
        clickAt(dialog, action.x, action.y, action.clicks);
        return;
    case Kind::Mouse:
    case Kind::Shot:
    case Kind::Snap:
        return;
    }
}

namespace {

// The words of a text on one line, without the blanks around them.
std::string oneLine(const std::string& text)
{
    std::string line;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line.push_back(' ');
        blank = false;
        line.push_back(c);
    }
    return line;
}

}  // namespace

std::string dialogTitle(const Dialog& dialog)
{
    if (!dialog.caption.empty())
        return oneLine(dialog.caption);
    // Without a caption the dialog's top line names it: a title text or a group box's label.
    const Control* top = nullptr;
    for (const Control& control : dialog.controls) {
        if (control.kind != ControlKind::Static && control.kind != ControlKind::GroupBox)
            continue;
        if (oneLine(control.text).empty())
            continue;
        if (!top || control.y < top->y || (control.y == top->y && control.x < top->x))
            top = &control;
    }
    return top ? oneLine(top->text) : std::string();
}

std::string describeDesktop()
{
    const auto& open = registry().open;
    if (open.empty())
        return "desktop";
    const Dialog& active = *open.back();
    const std::string title = dialogTitle(active);
    return title.empty() ? active.name : title + " (" + active.name + ")";
}

}  // namespace desktop

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
    Dialog* ownerDialog = desktop::dialogOf(owner);
    Dialog dialog = desktop::build(*found, instance, ownerDialog);
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
    auto [dialog, index] = desktop::lookUp(window);
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
    case LB_GETCURSEL:
        return control->selection >= 0 ? control->selection : LB_ERR;
    case LB_GETCOUNT:
        return LRESULT(items.size());
    case LB_GETTEXT:
        if (!valid || !lParam)
            return LB_ERR;
        std::memcpy(reinterpret_cast<char*>(lParam), items[size_t(index)].c_str(), items[size_t(index)].size() + 1);
        return LRESULT(items[size_t(index)].size());
    case LB_GETTEXTLEN:
        return valid ? LRESULT(items[size_t(index)].size()) : LB_ERR;
    case BM_GETCHECK:
        return control->check;
    case BM_SETCHECK:
        control->check = UINT(wParam);
        return 0;
    default:
        return 0;
    }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const std::string message = text ? text : "";
    const std::string title = caption ? caption : "Error";
    if (desktop::session().scripted()) {
        // Nobody to read it: it goes to stderr and is answered.
        std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
        return IDOK;
    }
    desktop::Font& font = desktop::dialogFont();
    const int iconSpace = (type & 0xF0) ? 32 + 16 : 0;
    const int maxText = 420;
    const auto lines = font.wrap(message, maxText);
    int textWidth = 0;
    for (const auto& line : lines)
        textWidth = std::max(textWidth, font.textWidth(line));
    const int clientWidth = std::max(std::max(textWidth + iconSpace + 24, 100), font.textWidth(title) + 60);
    const int textHeight = int(lines.size()) * font.height();
    const int clientHeight = std::max(textHeight, 32) + 24 + 23 + 12;

    Dialog box;
    box.name = "message box";
    box.caption = title;
    box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    box.look3d = (desktop::session().version() & 0xFF) >= 4 || !desktop::registry().autoSubclassed3d.empty();
    box.exclamation = (type & 0xF0) == MB_ICONEXCLAMATION;
    box.procedure = desktop::messageBoxProcedure;
    box.clientX = desktop::kFrame;
    box.clientY = desktop::kFrame + desktop::kCaption;
    box.width = clientWidth + 2 * desktop::kFrame;
    box.height = clientHeight + box.clientY + desktop::kFrame;
    (void)owner;
    box.x = (desktop::session().desktopWidth() - box.width) / 2;
    box.y = (desktop::session().desktopHeight() - box.height) / 2;
    Control label;
    label.kind = ControlKind::Static;
    label.text = message;
    label.x = 12 + iconSpace;
    label.y = 12 + std::max(0, (32 - textHeight) / 2);
    label.width = textWidth + 2;
    label.height = textHeight;
    Control ok;
    ok.kind = ControlKind::PushButton;
    ok.id = IDOK;
    ok.text = "OK";
    ok.style = WS_TABSTOP | BS_DEFPUSHBUTTON | WS_GROUP;
    ok.width = 75;
    ok.height = 23;
    ok.x = (clientWidth - ok.width) / 2;
    ok.y = clientHeight - ok.height - 12;
    box.controls = {label, ok};
    return int(desktop::runModal(box, 0));
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!rect)
        return FALSE;
    if (reinterpret_cast<uintptr_t>(window) == desktop::kDesktopHandle) {
        *rect = {0, 0, desktop::session().desktopWidth(), desktop::session().desktopHeight()};
        return TRUE;
    }
    auto [dialog, index] = desktop::lookUp(window);
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
    return reinterpret_cast<HWND>(desktop::kDesktopHandle);
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
    auto [dialog, index] = desktop::lookUp(window);
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
    desktop::registry().registered3d.insert(instance);
    return TRUE;
}

BOOL Ctl3dAutoSubclass(HINSTANCE instance)
{
    if (!desktop::registry().registered3d.count(instance))
        return FALSE;
    desktop::registry().autoSubclassed3d.insert(instance);
    return TRUE;
}

BOOL Ctl3dUnregister(HINSTANCE instance)
{
    desktop::registry().registered3d.erase(instance);
    desktop::registry().autoSubclassed3d.erase(instance);
    return TRUE;
}
