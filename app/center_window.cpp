#include "app/center_window.h"

// Centres on the parent's screen rectangle; a window larger than its parent is pinned to
// the screen's top or left edge instead of being pushed off it.
void CenterWindow(HWND window, HWND parent, BOOL repaint)
{
    HWND desktop = GetDesktopWindow();
    if (parent == nullptr)
        parent = desktop;

    RECT parentRect{};
    RECT windowRect{};
    GetWindowRect(parent, &parentRect);
    GetWindowRect(window, &windowRect);
    const int w = windowRect.right - windowRect.left;
    const int h = windowRect.bottom - windowRect.top;

    int x = ((parentRect.right - parentRect.left) - w) / 2;
    int y = ((parentRect.bottom - parentRect.top) - h) / 2;
    if (x >= 0 && y >= 0) {
        x += parentRect.left;
        y += parentRect.top;
    } else {
        if (parent != desktop) {
            x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
            y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
        }
        if (x < 0)
            x = 0;
        if (y < 0)
            y = 0;
    }
    MoveWindow(window, x, y, w, h, repaint);
}
