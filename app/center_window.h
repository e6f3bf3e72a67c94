#pragma once

#include "platform/win32.h"

// Moves window to the centre of parent, or of the desktop when parent is null.
void CenterWindow(HWND window, HWND parent, BOOL repaint);
