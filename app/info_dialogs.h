// The SuperVGA information dialog and the not-detected dialog. Each closes only through its
// button: Esc and the close box leave it open.
#pragma once

#include "platform/win32.h"

INT_PTR SVGAInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR NotDetectedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
