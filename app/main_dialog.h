// The main dialog: the mode list of one colour depth, the run options, and the test run.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// One entry per list entry, in list order: the number its mode is set with. The list stops
// growing when the table is full, so the two always describe the same modes.
constexpr int MODE_TABLE_SIZE = 256;
extern uint16_t modeNumbers[MODE_TABLE_SIZE];

extern const char* const releaseMajor;
extern const char* const releaseMinor;
extern const char* const copyrightNotice;

INT_PTR MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void FillModeList(HWND dialog);
void TestSelectedMode(HWND dialog);
