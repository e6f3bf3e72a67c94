#include "app/startup.h"

#include <cstdio>
#include <cstdlib>

#include "app/globals.h"
#include "app/info_dialogs.h"
#include "app/main_dialog.h"
#include "app/resource_ids.h"
#include "loader/install_failure.h"
#include "loader/kestrellib.h"

char programDir[PATH_SIZE];
HINSTANCE appInstance;
DisplayContext* displayContext;
int gxInitOption = 0;

namespace {

constexpr int32_t VBE_1_2 = 0x102;

}  // namespace

bool isFatalInstallStatus(int status)
{
    switch (status) {
    case KS_NO_HARDWARE:
    case KS_FILE_INVALID:
    case KS_FILE_OLDER:
    case KS_NO_MEMORY:
    case KS_NO_REAL_MODE_MEMORY:
    case KS_CHECK_FAILED: return true;
    default:
        // A missing or ungenerated driver leaves the video BIOS or a resident driver to
        // serve VBE, so the program still has something to test.
        return false;
    }
}

bool IsWindows4OrLater(void)
{
    return (GetVersion() & 0xFF) >= 4;
}

int runProgram(HINSTANCE instance, const DriverLoader& loader)
{
    char path[PATH_SIZE] = {};
    GetModuleFileNameA(instance, path, PATH_SIZE);
    KS_extractDir(path, programDir);

    // Install even over a VBE 2.0 BIOS, and let the generator analyse the hardware.
    const int status = loader.install(programDir, 1, 1);
    if (isFatalInstallStatus(status)) {
        std::fprintf(stderr, "palisade: %s\n", describeInstallFailure(status, programDir).c_str());
        MessageBoxA(nullptr, "Fatal error installing KestrelLib!", "Fatal Error!", MB_TASKMODAL | MB_ICONEXCLAMATION);
        std::exit(1);
    }

    if (!IsWindows4OrLater()) {
        Ctl3dRegister(instance);
        Ctl3dAutoSubclass(instance);
    }
    appInstance = instance;
    displayContext = GX_init(gxInitOption);

    if (displayContext != nullptr && displayContext->vbeVersion >= VBE_1_2)
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDlgProc, 0);
    else
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_NOT_DETECTED), nullptr, NotDetectedDlgProc, 0);

    if (!IsWindows4OrLater())
        Ctl3dUnregister(instance);
    loader.uninstall();
    return 0;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return runProgram(instance, DriverLoader{KS_install, KS_exit});
}
