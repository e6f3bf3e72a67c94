// The directory that holds "kestrel.drv", "KSCONFIG.DAT" and "KSWIN.EXE", and the paths in it.
#pragma once

#include <string>

// The platform's path limit, terminating zero included.
constexpr size_t driverPathLimit = 260;

inline constexpr char driverFileName[] = "kestrel.drv";
inline constexpr char configFileName[] = "KSCONFIG.DAT";
inline constexpr char generatorFileName[] = "KSWIN.EXE";

// ".\" for an empty directory; otherwise the directory with a backslash appended when its
// last character is not one (only the backslash counts).
std::string buildDriverDirectory(const char* driverDir);

// True when every file name the installer joins to `directory` gives a path within the limit.
bool driverDirectoryFits(const std::string& directory);
