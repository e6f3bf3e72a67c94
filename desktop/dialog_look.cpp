// How the desktop and its dialogs look: the Windows 95 3-D look, or the flat Windows 3.x
// look when the 3-D control library is not in use.
#include <algorithm>
#include <cmath>

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

void drawStatic(Canvas& canvas, const Control& c, int ox, int oy)
{
    Font& font = dialogFont();
    const auto lines = font.wrap(c.text, c.width);
    int y = oy + c.y;
    for (const auto& line : lines) {
        if (y + font.height() > oy + c.y + std::max(c.height, font.height()))
            break;
        int x = ox + c.x;
        if ((c.style & 0x0F) == SS_CENTER)
            x += (c.width - font.textWidth(line)) / 2;
        drawText(canvas, font, x, y, line, c.enabled);
        y += font.height();
    }
}

void drawGroupBox(Canvas& canvas, const Look& look, const Control& c, int ox, int oy)
{
    Font& font = dialogFont();
    const int x = ox + c.x;
    const int y = oy + c.y + font.height() / 2;
    const int h = c.height - font.height() / 2;
    if (look.threeD) {
        canvas.frame(x, y, c.width - 1, h - 1, kShadow);
        canvas.bevel(x + 1, y + 1, c.width - 1, h - 1, kHighlight, kHighlight);
        canvas.frame(x, y, c.width - 1, h - 1, kShadow);
    } else {
        canvas.frame(x, y, c.width, h, kDark);
    }
    if (!c.text.empty()) {
        const int w = font.textWidth(c.text);
        canvas.fill(x + 8, oy + c.y, w + 2, font.height(), look.face());
        drawText(canvas, font, x + 9, oy + c.y, c.text, c.enabled);
    }
}

void drawPushButton(Canvas& canvas, const Look& look, const Control& c, int ox, int oy, bool isDefault, bool focused)
{
    Font& font = dialogFont();
    int x = ox + c.x, y = oy + c.y, w = c.width, h = c.height;
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
    const int tx = ox + c.x + (c.width - font.textWidth(c.text)) / 2;
    const int ty = oy + c.y + (c.height - font.height()) / 2;
    drawText(canvas, font, tx, ty, c.text, c.enabled);
    if (focused)
        canvas.dottedFrame(ox + c.x + 4, oy + c.y + 4, c.width - 8, c.height - 8, kDark);
}

void drawCheckMark(Canvas& canvas, int x, int y)
{
    // The Windows 95 tick, 7 pixels wide and 3 thick.
    static const int rise[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int i = 0; i < 7; ++i)
        canvas.vline(x + i, y + rise[i], 3, kDark);
}

void drawCheckBox(Canvas& canvas, const Look& look, const Control& c, int ox, int oy, bool focused)
{
    Font& font = dialogFont();
    const int box = 13;
    const int x = ox + c.x;
    const int y = oy + c.y + (c.height - box) / 2;
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
    const int tx = x + box + 4;
    const int ty = oy + c.y + (c.height - font.height()) / 2;
    drawText(canvas, font, tx, ty, c.text, c.enabled);
    if (focused)
        canvas.dottedFrame(tx - 1, ty, font.textWidth(c.text) + 2, font.height(), kDark);
}

void drawRadio(Canvas& canvas, const Look& look, const Control& c, int ox, int oy, bool focused)
{
    Font& font = dialogFont();
    const int size = 12;
    const int x = ox + c.x;
    const int y = oy + c.y + (c.height - size) / 2;
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
            canvas.pixel(x + col, y + row, color);
        }
    const int tx = x + size + 5;
    const int ty = oy + c.y + (c.height - font.height()) / 2;
    drawText(canvas, font, tx, ty, c.text, c.enabled);
    if (focused)
        canvas.dottedFrame(tx - 1, ty, font.textWidth(c.text) + 2, font.height(), kDark);
}

void drawArrow(Canvas& canvas, int cx, int cy, bool up, uint32_t color)
{
    for (int i = 0; i < 4; ++i) {
        const int row = up ? cy - 2 + i : cy + 1 - i;
        canvas.hline(cx - i, row, 2 * i + 1, color);
    }
}

void drawListBox(Canvas& canvas, const Look& look, const Control& c, int ox, int oy, bool focused)
{
    Font& font = dialogFont();
    const int x = ox + c.x, y = oy + c.y;
    if (look.threeD)
        sunken(canvas, x, y, c.width, c.height);
    else
        canvas.frame(x, y, c.width, c.height, kDark);
    const int inset = look.threeD ? 2 : 1;
    const int rows = std::max(1, (c.height - 4) / font.height());
    const bool scroll = (c.style & WS_VSCROLL) && int(c.items.size()) > rows;
    const int barWidth = scroll ? 16 : 0;
    const int innerW = c.width - 2 * inset - barWidth;
    canvas.fill(x + inset, y + inset, c.width - 2 * inset, c.height - 2 * inset, c.enabled ? kWindow : kFace);
    for (int row = 0; row < rows; ++row) {
        const int index = c.topIndex + row;
        if (index >= int(c.items.size()))
            break;
        const int ry = y + inset + row * font.height();
        const bool selected = index == c.selection;
        if (selected)
            canvas.fill(x + inset, ry, innerW, font.height(), kSelection);
        drawText(canvas, font, x + inset + 2, ry, c.items[size_t(index)], c.enabled, selected ? kHighlight : kText);
        if (selected && focused)
            canvas.dottedFrame(x + inset, ry, innerW, font.height(), kHighlight);
    }
    if (!scroll)
        return;
    // The vertical scroll bar: two arrow buttons and a thumb on a dithered track.
    const int bx = x + c.width - inset - barWidth;
    const int by = y + inset;
    const int bh = c.height - 2 * inset;
    for (int row = 0; row < bh; ++row)
        for (int col = 0; col < barWidth; ++col)
            canvas.pixel(bx + col, by + row, ((row + col) & 1) ? kHighlight : kFace);
    const int button = std::min(barWidth, bh / 2);
    canvas.fill(bx, by, barWidth, button, kFace);
    raised(canvas, bx, by, barWidth, button);
    drawArrow(canvas, bx + barWidth / 2 - 1, by + button / 2, true, kDark);
    canvas.fill(bx, by + bh - button, barWidth, button, kFace);
    raised(canvas, bx, by + bh - button, barWidth, button);
    drawArrow(canvas, bx + barWidth / 2 - 1, by + bh - button / 2, false, kDark);
    const int track = bh - 2 * button;
    const int total = int(c.items.size());
    const int thumb = std::max(8, track * rows / total);
    const int maxTop = std::max(1, total - rows);
    const int thumbY = by + button + (track - thumb) * c.topIndex / maxTop;
    canvas.fill(bx, thumbY, barWidth, thumb, kFace);
    raised(canvas, bx, thumbY, barWidth, thumb);
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
        const int cx = x + 3, cy = y + 3, cw = w - 6, ch = dialog.clientY - 4;
        canvas.fill(cx, cy, cw, ch, active ? kCaption : kInactiveCaption);
        Font& bold = captionFont();
        bold.draw(canvas, cx + 4, cy + (ch - bold.height()) / 2, dialog.caption, kHighlight);
        if (dialog.style & WS_SYSMENU) {
            // The close box.
            const int bw = 16, bh = 14, bx = cx + cw - bw - 2, by = cy + (ch - bh) / 2;
            canvas.fill(bx, by, bw, bh, kFace);
            canvas.bevel(bx, by, bw, bh, kHighlight, kDark);
            canvas.bevel(bx + 1, by + 1, bw - 2, bh - 2, kLight, kShadow);
            for (int i = 0; i < 6; ++i) {
                canvas.fill(bx + 4 + i, by + 3 + i, 2, 1, kDark);
                canvas.fill(bx + 10 - i, by + 3 + i, 2, 1, kDark);
            }
        }
    }
    const int ox = x + dialog.clientX, oy = y + dialog.clientY;
    if (dialog.exclamation)
        drawExclamation(canvas, ox + 12, oy + 12);
    // A focused push button is the default for the moment; otherwise the template's.
    int defaultIndex = -1;
    if (dialog.focus >= 0 && dialog.controls[size_t(dialog.focus)].kind == ControlKind::PushButton)
        defaultIndex = dialog.focus;
    for (size_t i = 0; i < dialog.controls.size() && defaultIndex < 0; ++i)
        if (dialog.controls[i].kind == ControlKind::PushButton && (dialog.controls[i].style & 0x0F) == BS_DEFPUSHBUTTON)
            defaultIndex = int(i);
    for (size_t i = 0; i < dialog.controls.size(); ++i) {
        const Control& c = dialog.controls[i];
        const bool focused = active && int(i) == dialog.focus;
        switch (c.kind) {
        case ControlKind::Static: drawStatic(canvas, c, ox, oy); break;
        case ControlKind::GroupBox: drawGroupBox(canvas, look, c, ox, oy); break;
        case ControlKind::PushButton:
            drawPushButton(canvas, look, c, ox, oy, active && int(i) == defaultIndex, focused);
            break;
        case ControlKind::CheckBox: drawCheckBox(canvas, look, c, ox, oy, focused); break;
        case ControlKind::Radio: drawRadio(canvas, look, c, ox, oy, focused); break;
        case ControlKind::ListBox: drawListBox(canvas, look, c, ox, oy, focused); break;
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
