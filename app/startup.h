// Start-up and shutdown of the program around its one modal dialog.
#pragma once

#include "platform/win32.h"

// The driver loader's two lifetime calls, passed in so that the order of start-up can be
// shown with any installer outcome.
struct DriverLoader {
    int (*install)(const char* driverDir, int ignoreVBE, int analyse);
    void (*uninstall)(void);
};

// True for the installer statuses after which the program cannot go on.
bool isFatalInstallStatus(int status);

// True on Windows 4 and later, where dialogs have the 3-D look without the 3-D control library.
bool IsWindows4OrLater(void);

// The whole life of the program; returns WinMain's result, or ends the process with status 1
// after a fatal installer status.
int runProgram(HINSTANCE instance, const DriverLoader& loader);

extern int gxInitOption;  // GX_init's only argument; nothing changes it
