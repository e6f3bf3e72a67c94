#include "loader/kestrellib.h"

#include <cstring>

void KS_extractDir(const char* path, char* dir)
{
    const char* lastSeparator = std::strrchr(path, '\\');
    const size_t length = lastSeparator ? static_cast<size_t>(lastSeparator - path) + 1 : 0;
    std::memmove(dir, path, length);  // dir may be path itself
    dir[length] = '\0';
}
