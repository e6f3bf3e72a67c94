#include "loader/install_failure.h"

#include "loader/driver_dir.h"
#include "loader/kestrellib.h"

std::string describeInstallFailure(int status, const char* driverDir)
{
    const char* advice = "delete the file to have it generated again";
    switch (status) {
    case KS_NO_HARDWARE:
        advice = "it was generated where no supported card answered; delete the file to have it generated again "
                 "for this card";
        break;
    case KS_NO_MEMORY:
    case KS_NO_REAL_MODE_MEMORY: advice = "the file is not at fault; give the machine more memory"; break;
    case KS_CHECK_FAILED:
        advice = "a freshly generated driver failed its check on this card; delete the file to try again, and "
                 "report it if that fails too";
        break;
    default: break;
    }
    return std::string("KestrelLib: ") + KS_getErrorString(status) + " (driver file " +
           buildDriverDirectory(driverDir) + driverFileName + "): " + advice;
}
