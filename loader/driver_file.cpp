#include "loader/driver_file.h"

#include <cstdlib>
#include <cstring>

HANDLE openDriverFile(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

int readDriverFile(HANDLE file, uint8_t** image, uint32_t* length)
{
    constexpr size_t slack = 16;
    const DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
    if (end == INVALID_SET_FILE_POINTER || SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) {
        CloseHandle(file);
        return 6;
    }
    auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(end) + slack));
    if (!block) {
        CloseHandle(file);
        return 8;
    }
    std::memset(block, 0, static_cast<size_t>(end) + slack);
    DWORD read = 0;
    const bool whole = ReadFile(file, block, end, &read, nullptr) && read == end;
    CloseHandle(file);
    if (!whole) {
        std::free(block);
        return 6;
    }
    *image = block;
    *length = end;
    return 0;
}
