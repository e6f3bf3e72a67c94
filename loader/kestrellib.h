// KestrelLib: installs the real-mode Kestrel VBE driver under the display library.
#pragma once

#include <cstdint>

// Status codes of KS_install; KS_getErrorString gives their texts.
enum KestrelStatus : int {
    KS_OK = 0,
    KS_NO_HARDWARE = 1,
    KS_VBE20_PRESENT = 2,
    KS_LATER_RESIDENT = 3,
    KS_UNUSED_4 = 4,
    KS_FILE_NOT_FOUND = 5,
    KS_FILE_INVALID = 6,
    KS_FILE_OLDER = 7,
    KS_NO_MEMORY = 8,
    KS_NO_REAL_MODE_MEMORY = 9,
    KS_NOT_GENERATED = 10,
    KS_CHECK_FAILED = 11,
};

int KS_install(const char* driverDir, int ignoreVBE, int analyse);
void KS_exit(void);
const char* KS_getErrorString(int code);
const char* KS_getCopyright(void);
const char* KS_getMajorVersion(void);
const char* KS_getMinorVersion(void);
const char* KS_getReleaseDate(void);
const char* KS_getDriverString1(void);
const char* KS_getDriverString2(void);
const char* KS_getDriverString3(void);

// Copies the part of path up to and including its last backslash into dir (which must hold
// as many characters as path); the empty string when there is none.
void KS_extractDir(const char* path, char* dir);
