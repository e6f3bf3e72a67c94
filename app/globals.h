// Program-wide state set up at start-up and read by every dialog and test.
#pragma once

#include "platform/display.h"
#include "platform/win32.h"

constexpr int PATH_SIZE = 260;

extern char programDir[PATH_SIZE];      // the program's directory, ending in a backslash, or ""
extern HINSTANCE appInstance;           // every dialog comes from this module's resources
extern DisplayContext* displayContext;  // what GX_init returned; null when nothing was found
