// Where each part of a dialog lies on the screen: one function per part, used both to draw it
// and to find what the mouse is on, so that a click acts on what the picture shows there.
#pragma once

#include "desktop/dialog_manager.h"

namespace desktop {

// Frame and caption bar of a Windows 95 dialog.
constexpr int kDialogFrame = 3;
constexpr int kCaptionHeight = 18;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

// The window's parts; the caption bar and close box are empty when the style has none.
Rect captionBarRect(const Dialog& dialog);
Rect closeBoxRect(const Dialog& dialog);

// A control's rectangle, and the parts drawn inside it.
Rect controlRect(const Dialog& dialog, const Control& control);
Rect checkBoxSquareRect(const Dialog& dialog, const Control& checkBox);
Rect radioCircleRect(const Dialog& dialog, const Control& radio);

// A list box: its entries' rows and its vertical scroll bar, shown only when the entries do
// not all fit. Row 0 is the top row shown; the scroll bar's parts are empty without it.
int listVisibleRows(const Control& list);
bool listShowsScrollBar(const Control& list);
Rect listRowRect(const Dialog& dialog, const Control& list, int row);
Rect scrollBarRect(const Dialog& dialog, const Control& list);
Rect scrollUpArrowRect(const Dialog& dialog, const Control& list);
Rect scrollDownArrowRect(const Dialog& dialog, const Control& list);
Rect scrollThumbRect(const Dialog& dialog, const Control& list);

// What a point of the screen is on, as the mouse sees it. Texts and group boxes take no clicks.
struct DialogHit {
    enum class Part {
        None,
        CloseBox,
        Control,    // a button, or a list box outside its rows and scroll bar
        ListEntry,  // entry, counted from the list's first
        ScrollUp,
        ScrollDown,
        PageUp,    // the scroll bar's track above the thumb
        PageDown,  // below it
        Thumb,
    };
    Part part = Part::None;
    int control = -1;  // index into the dialog's controls
    int entry = -1;
};
DialogHit hitTest(const Dialog& dialog, int x, int y);

}  // namespace desktop
