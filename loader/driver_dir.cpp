#include "loader/driver_dir.h"

#include <algorithm>

std::string buildDriverDirectory(const char* driverDir)
{
    std::string directory = driverDir ? driverDir : "";
    if (directory.empty())
        return ".\\";
    if (directory.back() != '\\')
        directory += '\\';
    return directory;
}

bool driverDirectoryFits(const std::string& directory)
{
    constexpr size_t longestName =
        std::max({sizeof driverFileName, sizeof configFileName, sizeof generatorFileName}) - 1;
    return directory.size() + longestName < driverPathLimit;
}
