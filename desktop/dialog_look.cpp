// How the desktop and its dialogs look: the Windows 95 3-D look, or the flat Windows 3.x
// look when the 3-D control library is not in use.
#include <algorithm>
#include <cmath>

#include "desktop/dialog_geometry.h"
#include "desktop/dialog_manager.h"
#include "desktop/font.h"
#include "desktop/session.h"

namespace desktop {

namespace {

constexpr uint32_t kBackground = rgb(0, 128, 128);
constexpr uint32_t kFace = rgb(192, 192, 192);
constexpr uint32_t kLight = rgb(223, 223, 223);
constexpr uint32_t kHighlight = rgb(255, 255, 255);
constexpr uint32_t kShadow = rgb(128, 128, 128);
constexpr uint32_t kDark = rgb(0, 0, 0);
constexpr uint32_t kText = rgb(0, 0, 0);
constexpr uint32_t kCaption = rgb(0, 0, 128);
constexpr uint32_t kInactiveCaption = rgb(128, 128, 128);
constexpr uint32_t kSelection = rgb(0, 0, 128);
constexpr uint32_t kWindow = rgb(255, 255, 255);

struct Look {
    bool threeD;
    uint32_t face() const { return threeD ? kFace : kWindow; }
};

void raised(Canvas& canvas, int x, int y, int w, int h)
{
    canvas.bevel(x, y, w, h, kLight, kDark);
    canvas.bevel(x + 1, y + 1, w - 2, h - 2, kHighlight, kShadow);
}

void sunken(Canvas& canvas, int x, int y, int w, int h)
{
    canvas.bevel(x, y, w, h, kShadow, kHighlight);
    canvas.bevel(x + 1, y + 1, w - 2, h - 2, kDark, kLight);
}

void drawText(Canvas& canvas, Font& font, int x, int y, const std::string& text, bool enabled, uint32_t color = kText)
{
    if (enabled) {
        font.draw(canvas, x, y, text, color);
        return;
    }
    // Disabled text is etched: a white copy below right of a grey one.
    font.draw(canvas, x + 1, y + 1, text, kHighlight);
    font.draw(canvas, x, y, text, kShadow);
}

void drawStatic(Canvas& canvas, const Dialog& dialog, const Control& c)
{
    Font& font = dialogFont();
    const Rect r = controlRect(dialog, c);
    const auto lines = font.wrap(c.text, r.width);
    int y = r.y;
    for (const auto& line : lines) {
        if (y + font.height() > r.y + std::max(r.height, font.height()))
            break;
        int x = r.x;
        if ((c.style & 0x0F) == SS_CENTER)
            x += (r.width - font.textWidth(line)) / 2;
        drawText(canvas, font, x, y, line, c.enabled);
        y += font.height();
    }
}

void drawGroupBox(Canvas& canvas, const Look& look, const Dialog& dialog, const Control& c)
{
    Font& font = dialogFont();
    const Rect r = controlRect(dialog, c);
    // The frame runs through the middle of the label.
    const int x = r.x;
    const int y = r.y + font.height() / 2;
    const int h = r.height - font.height() / 2;
    if (look.threeD) {
        canvas.frame(x, y, r.width - 1, h - 1, kShadow);
        canvas.bevel(x + 1, y + 1, r.width - 1, h - 1, kHighlight, kHighlight);
        canvas.frame(x, y, r.width - 1, h - 1, kShadow);
    } else {
        canvas.frame(x, y, r.width, h, kDark);
    }
    if (!c.text.empty()) {
        const int w = font.textWidth(c.text);
        canvas.fill(x + 8, r.y, w + 2, font.height(), look.face());
        drawText(canvas, font, x + 9, r.y, c.text, c.enabled);
    }
}

void drawPushButton(Canvas& canvas, const Look& look, const Dialog& dialog, const Control& c, bool isDefault,
                    bool focused)
{
    Font& font = dialogFont();
    const Rect r = controlRect(dialog, c);
    int x = r.x, y = r.y, w = r.width, h = r.height;
    canvas.fill(x, y, w, h, kFace);
    if (look.threeD) {
        if (isDefault) {
            canvas.frame(x, y, w, h, kDark);
            ++x, ++y, w -= 2, h -= 2;
        }
        canvas.bevel(x, y, w, h, kHighlight, kDark);
        canvas.bevel(x + 1, y + 1, w - 2, h - 2, kLight, kShadow);
    } else {
        // Windows 3.x: a black outline with cut corners, thicker for the default button.
        canvas.hline(x + 1, y, w - 2, kDark);
        canvas.hline(x + 1, y + h - 1, w - 2, kDark);
        canvas.vline(x, y + 1, h - 2, kDark);
        canvas.vline(x + w - 1, y + 1, h - 2, kDark);
        if (isDefault) {
            canvas.frame(x + 1, y + 1, w - 2, h - 2, kDark);
            ++x, ++y, w -= 2, h -= 2;
        }
        canvas.bevel(x + 1, y + 1, w - 2, h - 2, kHighlight, kShadow);
    }
    const int tx = r.x + (r.width - font.textWidth(c.text)) / 2;
    const int ty = r.y + (r.height - font.height()) / 2;
    drawText(canvas, font, tx, ty, c.text, c.enabled);
    if (focused)
        canvas.dottedFrame(r.x + 4, r.y + 4, r.width - 8, r.height - 8, kDark);
}

// A check box's or radio button's label, right of its square or circle, with the focus frame.
void drawButtonLabel(Canvas& canvas, const Dialog& dialog, const Control& c, int x, bool focused)
{
    Font& font = dialogFont();
    const Rect r = controlRect(dialog, c);
    const int ty = r.y + (r.height - font.height()) / 2;
    drawText(canvas, font, x, ty, c.text, c.enabled);
    if (focused)
        canvas.dottedFrame(x - 1, ty, font.textWidth(c.text) + 2, font.height(), kDark);
}

void drawCheckMark(Canvas& canvas, int x, int y)
{
    // The Windows 95 tick, 7 pixels wide and 3 thick.
    static const int rise[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i)
        canvas.vline(x + i, y + rise[i], 3, kDark);
}

void drawCheckBox(Canvas& canvas, const Look& look, const Dialog& dialog, const Control& c, bool focused)
{
    const Rect square = checkBoxSquareRect(dialog, c);
    const int x = square.x, y = square.y, box = square.width;
    if (look.threeD) {
        sunken(canvas, x, y, box, box);
        canvas.fill(x + 2, y + 2, box - 4, box - 4, c.enabled ? kWindow : kFace);
        if (c.check == BST_CHECKED)
            drawCheckMark(canvas, x + 3, y + 3);
    } else {
        canvas.frame(x, y, box, box, kDark);
        canvas.fill(x + 1, y + 1, box - 2, box - 2, kWindow);
        if (c.check == BST_CHECKED)
            for (int i = 1; i < box - 1; ++i) {
                canvas.pixel(x + i, y + i, kDark);
                canvas.pixel(x + box - 1 - i, y + i, kDark);
            }
    }
    drawButtonLabel(canvas, dialog, c, x + box + 4, focused);
}

void drawRadio(Canvas& canvas, const Look& look, const Dialog& dialog, const Control& c, bool focused)
{
    const Rect circle = radioCircleRect(dialog, c);
    const int size = circle.width;
    const double centre = (size - 1) / 2.0;
    for (int row = 0; row < size; ++row)
        for (int col = 0; col < size; ++col) {
            const double dx = col - centre, dy = row - centre;
            const double r = std::sqrt(dx * dx + dy * dy);
            if (r > centre + 0.5)
                continue;
            uint32_t color = c.enabled ? kWindow : kFace;
            if (r > centre - 0.5) {
                // The ring: dark above left, light below right in 3-D; black when flat.
                color = look.threeD ? (dx + dy < 0 ? kShadow : kHighlight) : kDark;
            } else if (r > centre - 1.5 && look.threeD) {
                color = dx + dy < 0 ? kDark : kLight;
            }
            if (c.check == BST_CHECKED && r < 2.0)
                color = kDark;
            canvas.pixel(circle.x + col, circle.y + row, color);
        }
    drawButtonLabel(canvas, dialog, c, circle.x + size + 5, focused);
}

void drawArrow(Canvas& canvas, int cx, int cy, bool up, uint32_t color)
{
    for (int i = 0; i < 4; ++i) {
        const int row = up ? cy - 2 + i : cy + 1 - i;
        canvas.hline(cx - i, row, 2 * i + 1, color);
    }
}

// A raised button face on the scroll bar: an arrow button or the thumb.
void drawScrollBox(Canvas& canvas, const Rect& r)
{
    canvas.fill(r.x, r.y, r.width, r.height, kFace);
    raised(canvas, r.x, r.y, r.width, r.height);
}

void drawScrollBar(Canvas& canvas, const Dialog& dialog, const Control& c)
{
    // Two arrow buttons and a thumb on a dithered track.
    const Rect bar = scrollBarRect(dialog, c);
    for (int row = 0; row < bar.height; ++row)
        for (int col = 0; col < bar.width; ++col)
            canvas.pixel(bar.x + col, bar.y + row, ((row + col) & 1) ? kHighlight : kFace);
    const Rect up = scrollUpArrowRect(dialog, c);
    drawScrollBox(canvas, up);
    drawArrow(canvas, up.x + up.width / 2 - 1, up.y + up.height / 2, true, kDark);
    const Rect down = scrollDownArrowRect(dialog, c);
    drawScrollBox(canvas, down);
    drawArrow(canvas, down.x + down.width / 2 - 1, down.y + down.height - down.height / 2, false, kDark);
    drawScrollBox(canvas, scrollThumbRect(dialog, c));
}

void drawListBox(Canvas& canvas, const Look& look, const Dialog& dialog, const Control& c, bool focused)
{
    Font& font = dialogFont();
    const Rect r = controlRect(dialog, c);
    if (look.threeD)
        sunken(canvas, r.x, r.y, r.width, r.height);
    else
        canvas.frame(r.x, r.y, r.width, r.height, kDark);
    const Rect inside = listRowRect(dialog, c, 0);
    const int inset = inside.x - r.x;
    canvas.fill(inside.x, inside.y, r.width - 2 * inset, r.height - 2 * inset, c.enabled ? kWindow : kFace);
    for (int row = 0; row < listVisibleRows(c); ++row) {
        const int index = c.topIndex + row;
        if (index >= int(c.items.size()))
            break;
        const Rect entry = listRowRect(dialog, c, row);
        const bool selected = index == c.selection;
        if (selected)
            canvas.fill(entry.x, entry.y, entry.width, entry.height, kSelection);
        drawText(canvas, font, entry.x + 2, entry.y, c.items[size_t(index)], c.enabled, selected ? kHighlight : kText);
        if (selected && focused)
            canvas.dottedFrame(entry.x, entry.y, entry.width, entry.height, kHighlight);
    }
    if (listShowsScrollBar(c))
        drawScrollBar(canvas, dialog, c);
}

void drawCloseBox(Canvas& canvas, const Rect& box)
{
    const int bx = box.x, by = box.y, bw = box.width, bh = box.height;
    canvas.fill(bx, by, bw, bh, kFace);
    canvas.bevel(bx, by, bw, bh, kHighlight, kDark);
    canvas.bevel(bx + 1, by + 1, bw - 2, bh - 2, kLight, kShadow);
    for (int i = 0; i < 6; ++i) {
        canvas.fill(bx + 4 + i, by + 3 + i, 2, 1, kDark);
        canvas.fill(bx + 10 - i, by + 3 + i, 2, 1, kDark);
    }
}

void drawExclamation(Canvas& canvas, int x, int y)
{
    // A yellow warning triangle, 32 x 32, with a black exclamation mark.
    for (int row = 0; row < 28; ++row) {
        const int half = row / 2 + 1;
        canvas.hline(x + 16 - half, y + 2 + row, 2 * half, rgb(255, 255, 0));
        canvas.pixel(x + 16 - half - 1, y + 2 + row, kDark);
        canvas.pixel(x + 16 + half, y + 2 + row, kDark);
    }
    canvas.hline(x + 1, y + 30, 31, kDark);
    canvas.fill(x + 15, y + 10, 3, 12, kDark);
    canvas.fill(x + 15, y + 24, 3, 3, kDark);
}

}  // namespace

void drawDialog(Canvas& canvas, const Dialog& dialog, bool active)
{
    const Look look{dialog.look3d};
    const int x = dialog.x, y = dialog.y, w = dialog.width, h = dialog.height;
    canvas.fill(x, y, w, h, look.face());
    if (look.threeD) {
        raised(canvas, x, y, w, h);
    } else {
        canvas.frame(x, y, w, h, kDark);
        canvas.frame(x + 1, y + 1, w - 2, h - 2, kCaption);
        canvas.frame(x + 2, y + 2, w - 4, h - 4, kCaption);
    }
    if ((dialog.style & WS_CAPTION) == WS_CAPTION) {
        const Rect bar = captionBarRect(dialog);
        canvas.fill(bar.x, bar.y, bar.width, bar.height, active ? kCaption : kInactiveCaption);
        Font& bold = captionFont();
        bold.draw(canvas, bar.x + 4, bar.y + (bar.height - bold.height()) / 2, dialog.caption, kHighlight);
        if (dialog.style & WS_SYSMENU)
            drawCloseBox(canvas, closeBoxRect(dialog));
    }
    if (dialog.exclamation)
        drawExclamation(canvas, x + dialog.clientX + 12, y + dialog.clientY + 12);
    const int defaultIndex = active ? defaultButton(dialog) : -1;
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& c = dialog.controls[i];
        const bool focused = active && int(i) == dialog.focus;
        switch (c.kind) {
        case ControlKind::Static: drawStatic(canvas, dialog, c); break;
        case ControlKind::GroupBox: drawGroupBox(canvas, look, dialog, c); break;
        case ControlKind::PushButton: drawPushButton(canvas, look, dialog, c, int(i) == defaultIndex, focused); break;
        case ControlKind::CheckBox: drawCheckBox(canvas, look, dialog, c, focused); break;
        case ControlKind::Radio: drawRadio(canvas, look, dialog, c, focused); break;
        case ControlKind::ListBox: drawListBox(canvas, look, dialog, c, focused); break;
        }
    }
}

void renderDesktop(Picture& picture)
{
    Canvas canvas(picture);
    canvas.fill(0, 0, canvas.width(), canvas.height(), kBackground);
    const auto& open = openDialogs();
    for (size_t i = 0; i < open.size(); ++i)
        drawDialog(canvas, *open[i], i + 1 == open.size());
}

}  // namespace desktop
