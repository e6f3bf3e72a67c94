// Where each part of a dialog lies on the screen, for the drawing and for the mouse.
#include "desktop/dialog_geometry.h"

#include <algorithm>

#include "desktop/font.h"

namespace desktop {

namespace {

constexpr int kCloseBoxWidth = 16;
constexpr int kCloseBoxHeight = 14;
constexpr int kCheckBoxSize = 13;
constexpr int kRadioSize = 12;
constexpr int kScrollBarWidth = 16;
constexpr int kMinimumThumb = 8;

bool hasCaption(const Dialog& dialog)
{
    return (dialog.style & WS_CAPTION) == WS_CAPTION;
}

// The list's border: a two-pixel sunken edge in 3-D, one black line when flat.
int listInset(const Dialog& dialog)
{
    return dialog.look3d ? 2 : 1;
}

// The scroll bar's track between the arrows, and the thumb's travel along it.
struct Track {
    int top = 0, length = 0;
};

Track scrollTrack(const Dialog& dialog, const Control& list)
{
    const Rect bar = scrollBarRect(dialog, list);
    const Rect up = scrollUpArrowRect(dialog, list);
    return {bar.y + up.height, bar.height - 2 * up.height};
}

}  // namespace

Rect captionBarRect(const Dialog& dialog)
{
    if (!hasCaption(dialog))
        return {};
    // Inside the frame, one line above the client area.
    return {dialog.x + kDialogFrame, dialog.y + kDialogFrame, dialog.width - 2 * kDialogFrame,
            dialog.clientY - kDialogFrame - 1};
}

Rect closeBoxRect(const Dialog& dialog)
{
    if (!hasCaption(dialog) || !(dialog.style & WS_SYSMENU))
        return {};
    const Rect bar = captionBarRect(dialog);
    return {bar.x + bar.width - kCloseBoxWidth - 2, bar.y + (bar.height - kCloseBoxHeight) / 2, kCloseBoxWidth,
            kCloseBoxHeight};
}

Rect controlRect(const Dialog& dialog, const Control& control)
{
    return {dialog.x + dialog.clientX + control.x, dialog.y + dialog.clientY + control.y, control.width,
            control.height};
}

Rect checkBoxSquareRect(const Dialog& dialog, const Control& checkBox)
{
    const Rect r = controlRect(dialog, checkBox);
    return {r.x, r.y + (r.height - kCheckBoxSize) / 2, kCheckBoxSize, kCheckBoxSize};
}

Rect radioCircleRect(const Dialog& dialog, const Control& radio)
{
    const Rect r = controlRect(dialog, radio);
    return {r.x, r.y + (r.height - kRadioSize) / 2, kRadioSize, kRadioSize};
}

int listVisibleRows(const Control& list)
{
    return std::max(1, (list.height - 4) / dialogFont().height());
}

bool listShowsScrollBar(const Control& list)
{
    return (list.style & WS_VSCROLL) && int(list.items.size()) > listVisibleRows(list);
}

Rect listRowRect(const Dialog& dialog, const Control& list, int row)
{
    const Rect r = controlRect(dialog, list);
    const int inset = listInset(dialog);
    const int rowHeight = dialogFont().height();
    const int barWidth = listShowsScrollBar(list) ? kScrollBarWidth : 0;
    return {r.x + inset, r.y + inset + row * rowHeight, r.width - 2 * inset - barWidth, rowHeight};
}

Rect scrollBarRect(const Dialog& dialog, const Control& list)
{
    if (!listShowsScrollBar(list))
        return {};
    const Rect r = controlRect(dialog, list);
    const int inset = listInset(dialog);
    return {r.x + r.width - inset - kScrollBarWidth, r.y + inset, kScrollBarWidth, r.height - 2 * inset};
}

Rect scrollUpArrowRect(const Dialog& dialog, const Control& list)
{
    const Rect bar = scrollBarRect(dialog, list);
    return {bar.x, bar.y, bar.width, std::min(bar.width, bar.height / 2)};
}

Rect scrollDownArrowRect(const Dialog& dialog, const Control& list)
{
    const Rect up = scrollUpArrowRect(dialog, list);
    const Rect bar = scrollBarRect(dialog, list);
    return {bar.x, bar.y + bar.height - up.height, bar.width, up.height};
}

Rect scrollThumbRect(const Dialog& dialog, const Control& list)
{
    if (!listShowsScrollBar(list))
        return {};
    const Track track = scrollTrack(dialog, list);
    const int rows = listVisibleRows(list);
    const int total = int(list.items.size());
    const int length = std::max(kMinimumThumb, track.length * rows / total);
    const int lastTop = std::max(1, total - rows);
    const Rect bar = scrollBarRect(dialog, list);
    return {bar.x, track.top + (track.length - length) * list.topIndex / lastTop, bar.width, length};
}

DialogHit hitTest(const Dialog& dialog, int x, int y)
{
    using Part = DialogHit::Part;
    if (closeBoxRect(dialog).contains(x, y))
        return {Part::CloseBox};
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& c = dialog.controls[i];
        if (c.kind == ControlKind::Static || c.kind == ControlKind::GroupBox || !controlRect(dialog, c).contains(x, y))
            continue;
        const int index = int(i);
        if (c.kind != ControlKind::ListBox)
            return {Part::Control, index};
        if (scrollBarRect(dialog, c).contains(x, y)) {
            if (scrollUpArrowRect(dialog, c).contains(x, y))
                return {Part::ScrollUp, index};
            if (scrollDownArrowRect(dialog, c).contains(x, y))
                return {Part::ScrollDown, index};
            const Rect thumb = scrollThumbRect(dialog, c);
            if (thumb.contains(x, y))
                return {Part::Thumb, index};
            return {y < thumb.y ? Part::PageUp : Part::PageDown, index};
        }
        for (int row = 0; row < listVisibleRows(c) && c.topIndex + row < int(c.items.size()); ++row)
            if (listRowRect(dialog, c, row).contains(x, y))
                return {Part::ListEntry, index, c.topIndex + row};
        return {Part::Control, index};
    }
    return {};
}

}  // namespace desktop
