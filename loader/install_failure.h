// What a person reads on stderr when the driver cannot be installed: the loader's status,
// the driver file it concerns and what to do about it.
#pragma once

#include <string>

// One line, without its newline: "KestrelLib: STATUS TEXT (driver file DIR\kestrel.drv): ADVICE".
// driverDir as given to KS_install.
std::string describeInstallFailure(int status, const char* driverDir);
