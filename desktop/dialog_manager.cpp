// The dialog engine: dialogs from templates, their handles, their modal loop, keyboard and mouse.
#include "desktop/dialog_manager.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "desktop/dialog_geometry.h"
#include "desktop/font.h"
#include "desktop/session.h"

namespace desktop {

namespace {

constexpr uintptr_t kDesktopHandle = 0x10;

struct Registry {
    std::vector<Dialog*> open;
    std::map<uintptr_t, Window> windows;
    uintptr_t nextHandle = 0x100;
    ThreeDControls threeD;
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
    return dialog.controls[size_t(a)].kind == ControlKind::Radio &&
           dialog.controls[size_t(b)].kind == ControlKind::Radio && groupOf(dialog, a) == groupOf(dialog, b);
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

// The entry Home, End, Page Up or Page Down selects in a list that has entries. A page keeps
// one row of the one before in sight, as on Windows.
int pagedEntry(const Control& list, int key)
{
    const int last = int(list.items.size()) - 1;
    const int page = std::max(1, listVisibleRows(list) - 1);
    const int from = std::max(0, list.selection);
    switch (key) {
    case KEY_HOME: return 0;
    case KEY_END: return last;
    case KEY_PAGE_UP: return std::max(0, from - page);
    default: return std::min(last, from + page);
    }
}

void handleKey(Dialog& dialog, int key, bool shift)
{
    Control* focused = dialog.focus >= 0 ? &dialog.controls[size_t(dialog.focus)] : nullptr;
    switch (key) {
    case KEY_TAB: moveTabFocus(dialog, shift ? -1 : 1); return;
    case KEY_ESCAPE: {
        Control* cancel = controlOf(dialog.handle, IDCANCEL);
        command(dialog, IDCANCEL, BN_CLICKED, cancel ? cancel->handle : nullptr);
        return;
    }
    case KEY_RETURN: {
        const int index = defaultButton(dialog);
        if (index >= 0)
            press(dialog, index);
        else
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
    case KEY_HOME:
    case KEY_END:
    case KEY_PAGE_UP:
    case KEY_PAGE_DOWN:
        if (focused && focused->kind == ControlKind::ListBox && !focused->items.empty())
            selectEntry(dialog, *focused, pagedEntry(*focused, key));
        return;
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

// A press of the mouse: buttons act on the whole control, list boxes on the entry or the
// scroll bar part under it, the close box gives the cancel command, as on Windows.
void clickAt(Dialog& dialog, int x, int y, int clicks)
{
    using Part = DialogHit::Part;
    const DialogHit hit = hitTest(dialog, x, y);
    if (hit.part == Part::CloseBox) {
        command(dialog, IDCANCEL, BN_CLICKED, nullptr);
        return;
    }
    if (hit.control < 0)
        return;
    Control& c = dialog.controls[size_t(hit.control)];
    if (!c.enabled)
        return;
    dialog.focus = hit.control;
    const int page = listVisibleRows(c);
    const int lastTop = std::max(0, int(c.items.size()) - page);
    auto scroll = [&](int rows) { c.topIndex = std::clamp(c.topIndex + rows, 0, lastTop); };
    switch (hit.part) {
    case Part::Control:
        if (c.kind != ControlKind::ListBox)
            press(dialog, hit.control);
        return;
    case Part::ListEntry:
        selectEntry(dialog, c, hit.entry);
        if (clicks >= 2 && (c.style & LBS_NOTIFY))
            command(dialog, c.id, LBN_DBLCLK, c.handle);
        return;
    case Part::ScrollUp: scroll(-1); return;
    case Part::ScrollDown: scroll(1); return;
    case Part::PageUp: scroll(-page); return;
    case Part::PageDown: scroll(page); return;
    case Part::Thumb:  // it scrolls when dragged; a press alone moves nothing
    case Part::CloseBox:
    case Part::None: return;
    }
}

}  // namespace

Dialog buildDialog(const DialogTemplate& dialogTemplate, bool look3d, const Dialog* owner)
{
    Dialog dialog;
    dialog.name = "dialog " + std::to_string(dialogTemplate.resourceId);
    dialog.caption = dialogTemplate.caption ? dialogTemplate.caption : "";
    dialog.style = dialogTemplate.style;
    dialog.look3d = look3d;
    const bool captioned = (dialog.style & WS_CAPTION) == WS_CAPTION;
    dialog.clientX = kDialogFrame;
    dialog.clientY = kDialogFrame + (captioned ? kCaptionHeight : 0);
    dialog.width = dialogUnitsToPixelsX(dialogTemplate.cx) + 2 * kDialogFrame;
    dialog.height = dialogUnitsToPixelsY(dialogTemplate.cy) + dialog.clientY + kDialogFrame;
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
                it = it->second.dialog == &dialog ? r.windows.erase(it) : std::next(it);
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

Window windowOf(HWND handle)
{
    auto found = registry().windows.find(reinterpret_cast<uintptr_t>(handle));
    return found == registry().windows.end() ? Window{} : found->second;
}

Dialog* dialogOf(HWND handle)
{
    const Window window = windowOf(handle);
    return window.control < 0 ? window.dialog : nullptr;
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

HWND desktopWindow()
{
    return reinterpret_cast<HWND>(kDesktopHandle);
}

int defaultButton(const Dialog& dialog)
{
    if (dialog.focus >= 0 && dialog.controls[size_t(dialog.focus)].kind == ControlKind::PushButton)
        return dialog.focus;
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& c = dialog.controls[i];
        if (c.kind == ControlKind::PushButton && (c.style & 0x0F) == BS_DEFPUSHBUTTON)
            return int(i);
    }
    return -1;
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

void scrollIntoView(Control& list)
{
    if (list.selection < 0)
        return;
    const int rows = listVisibleRows(list);
    if (list.selection < list.topIndex)
        list.topIndex = list.selection;
    else if (list.selection >= list.topIndex + rows)
        list.topIndex = list.selection - rows + 1;
}

ThreeDControls& threeDControls()
{
    return registry().threeD;
}

bool looks3d(HINSTANCE instance)
{
    const ThreeDControls& threeD = threeDControls();
    return (session().version() & 0xFF) >= 4 ||
           (threeD.registered.count(instance) && threeD.autoSubclassed.count(instance));
}

bool messageBoxLooks3d()
{
    return (session().version() & 0xFF) >= 4 || !threeDControls().autoSubclassed.empty();
}

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
    threeDControls() = {};
}

void dispatch(Dialog& dialog, const Action& action)
{
    using Kind = Action::Kind;
    switch (action.kind) {
    case Kind::Key: handleKey(dialog, action.key, action.shift); return;
    case Kind::Click:
    case Kind::DoubleClick:
    case Kind::Select: {
        const int index = indexOfId(dialog, action.id);
        if (index < 0) {
            session().cannotDo(action, dialog.name + " has no control " + std::to_string(action.id));
            return;
        }
        Control& c = dialog.controls[size_t(index)];
        if (!c.enabled) {
            session().cannotDo(action, "control " + std::to_string(action.id) + " is disabled");
            return;
        }
        if (action.kind == Kind::Click || c.kind != ControlKind::ListBox) {
            if (action.kind == Kind::Select) {
                session().cannotDo(action, "control " + std::to_string(action.id) + " is not a list box");
                return;
            }
            if (canFocus(c))
                dialog.focus = index;
            press(dialog, index);
            return;
        }
        if (action.kind == Kind::DoubleClick) {
            if (c.selection < 0)
                session().cannotDo(action, "list box " + std::to_string(action.id) + " has no selected entry");
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
            session().cannotDo(
                action, "list box " + std::to_string(action.id) + " has no entry " +
                            (action.index >= 0 ? "#" + std::to_string(action.index) : "with \"" + action.text + "\""));
            return;
        }
        dialog.focus = index;
        selectEntry(dialog, c, entry);
        return;
    }
    case Kind::Button: clickAt(dialog, session().mouseX(), session().mouseY(), 1); return;
    case Kind::ClickAt:
        session().setMouse(action.x, action.y);
        clickAt(dialog, action.x, action.y, action.clicks);
        return;
    case Kind::Mouse:
    case Kind::Shot:
    case Kind::Snap:
    case Kind::Test: return;
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
