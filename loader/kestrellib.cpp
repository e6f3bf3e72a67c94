// The installer and uninstaller of the Kestrel driver, its status texts and its getters.
#include "loader/kestrellib.h"

#include <cstdlib>
#include <string>

#include "loader/driver_dir.h"
#include "loader/driver_file.h"
#include "loader/driver_header.h"
#include "loader/fatal_no_vbe.h"
#include "loader/generator.h"
#include "loader/vbe_probe.h"
#include "platform/realmode.h"
#include "platform/win32.h"

namespace {

constexpr int videoInterrupt = 0x10;
constexpr int multiplexInterrupt = 0x2F;
constexpr int checkFailed = -1;  // internal: the check entry did not return ax = 1

struct LoaderState {
    RealModeBlock driverBlock;  // holds the driver image while it is installed
    uint32_t savedInt10 = 0;
    uint32_t savedInt2F = 0;
    bool installed = false;
    char driverString1[driverString1Size] = "";
    char driverString2[driverString2Size] = "";
    char driverString3[driverString3Size] = "";
};

LoaderState loader;

uint32_t farPointer(uint32_t segment, uint16_t offset)
{
    return ((segment & 0xFFFF) << 16) | offset;
}

// Opens the driver file, having the generator write it when it is missing, and reads it
// whole. 0 with the image, or the status that ends the install.
int loadDriverImage(const std::string& directory, int analyse, uint8_t** image, uint32_t* length)
{
    const std::string path = directory + driverFileName;
    HANDLE file = openDriverFile(path);
    if (file == INVALID_HANDLE_VALUE) {
        if (!runGenerator(directory, analyse))
            return KS_NOT_GENERATED;
        file = openDriverFile(path);
        if (file == INVALID_HANDLE_VALUE)
            return KS_FILE_NOT_FOUND;
    }
    return readDriverFile(file, image, length);
}

// Loads a judged image into conventional memory, runs its check entry and, when the driver
// says it can work here, hooks it. 0, KS_NO_REAL_MODE_MEMORY or checkFailed.
int startDriver(uint8_t* image, uint32_t length, int vbeVersion)
{
    RealModeBlock block;
    if (!RM_allocRealSeg(length, &block.selector, &block.offset, &block.realSegment, &block.realOffset))
        return KS_NO_REAL_MODE_MEMORY;

    RM_getRMvect(videoInterrupt, &loader.savedInt10);
    RM_getRMvect(multiplexInterrupt, &loader.savedInt2F);
    patchDriverImage(image, loader.savedInt10, loader.savedInt2F, block.realSegment);
    RM_memcpyfn(block.selector, block.offset, image, length);

    // A check entry the machine had to stop (a fault, or no return) is a failed check.
    RealModeRegs regs{};
    RealModeSegRegs segments{};
    const bool returned =
        RM_callRealMode(block.realSegment, readDriverWord(image, DriverHeader::checkEntry), &regs, &segments);
    if (!returned || regs.ax != 1) {
        RM_freeRealSeg(block.selector, block.offset);
        return checkFailed;
    }

    if (readDriverWord(image, DriverHeader::needsVbeBios) != 0 && vbeVersion == 0)
        fatalNoVBE();

    copyDriverStrings(image, loader.driverString1, loader.driverString2, loader.driverString3);
    // The check entry may have changed its data: load the image afresh before hooking it.
    RM_memcpyfn(block.selector, block.offset, image, length);
    RM_setRMvect(videoInterrupt, farPointer(block.realSegment, readDriverWord(image, DriverHeader::int10Handler)));
    RM_setRMvect(multiplexInterrupt, farPointer(block.realSegment, readDriverWord(image, DriverHeader::int2FHandler)));
    loader.driverBlock = block;
    loader.installed = true;
    return KS_OK;
}

}  // namespace

int KS_install(const char* driverDir, int ignoreVBE, int analyse)
{
    if (!RM_allocRealSeg(probeScratchSize, &probeScratchBlock.selector, &probeScratchBlock.offset,
                         &probeScratchBlock.realSegment, &probeScratchBlock.realOffset))
        return KS_NO_REAL_MODE_MEMORY;
    const int vbeVersion = getVBEVersion();
    const ResidentDriverInfo* resident = queryResidentDriver();
    RM_freeRealSeg(probeScratchBlock.selector, probeScratchBlock.offset);
    probeScratchBlock = RealModeBlock{};

    if (!ignoreVBE && vbeVersion >= 0x0200)
        return KS_VBE20_PRESENT;

    const std::string directory = buildDriverDirectory(driverDir);
    // A path the platform cannot express names no file that could be found or generated.
    if (!driverDirectoryFits(directory))
        return KS_FILE_NOT_FOUND;

    for (int pass = 1;; ++pass) {
        uint8_t* image = nullptr;
        uint32_t length = 0;
        int status = loadDriverImage(directory, analyse, &image, &length);
        if (status != KS_OK)
            return status;
        status = judgeDriverImage(image, length, KS_getMajorVersion()[0], KS_getMinorVersion()[0], resident);
        if (status == KS_OK)
            status = startDriver(image, length, vbeVersion);
        std::free(image);
        if (status != checkFailed)
            return status;
        if (pass == 2)
            return KS_CHECK_FAILED;
        // Regenerate once: the next pass finds the files gone and runs the generator.
        DeleteFileA((directory + configFileName).c_str());
        DeleteFileA((directory + driverFileName).c_str());
    }
}

void KS_exit(void)
{
    if (!loader.installed)
        return;
    RM_setRMvect(multiplexInterrupt, loader.savedInt2F);
    RM_setRMvect(videoInterrupt, loader.savedInt10);
    loader.installed = false;
    RM_freeRealSeg(loader.driverBlock.selector, loader.driverBlock.offset);
    loader.driverBlock = RealModeBlock{};
}

const char* KS_getErrorString(int code)
{
    static const char* const texts[] = {
        "Ok",
        "Graphics hardware not detected",
        "VBE 2.0 detected and ignoreVBE was false",
        "A later version of Kestrel TSR is installed",
        nullptr,
        "Could not find KESTREL.DRV driver file!",
        "KESTREL.DRV is not a valid driver file!",
        "KESTREL.DRV driver file is older version!",
        "Could not allocate memory to load driver!",
        "Could not allocate real mode memory!",
        "Could not generate KESTREL.DRV driver (could not run KSCONFIG.EXE)",
        "Check install failed repeatedly! Please report immediately!",
    };
    constexpr int count = static_cast<int>(sizeof texts / sizeof texts[0]);
    if (code < 0 || code >= count || !texts[code])
        return "Unknown error code from KS_install!";
    return texts[code];
}

const char* KS_getCopyright(void)
{
    return "KestrelLib 5.2, the Kestrel VBE driver loader. Copyright (C) The Palisade developers";
}
const char* KS_getMajorVersion(void)
{
    return "5";
}
const char* KS_getMinorVersion(void)
{
    return "2";
}
const char* KS_getReleaseDate(void)
{
    return "May  5 1996";
}
const char* KS_getDriverString1(void)
{
    return loader.driverString1;
}
const char* KS_getDriverString2(void)
{
    return loader.driverString2;
}
const char* KS_getDriverString3(void)
{
    return loader.driverString3;
}
