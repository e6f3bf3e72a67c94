// Reading "kestrel.drv" whole into program memory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

// Opens the file for reading; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE openDriverFile(const std::string& path);

// Reads the whole open file into a block of program memory (malloc, its length plus 16 bytes,
// the rest zero) and closes the file. Returns 0, 8 when there is no memory for it, or 6 when
// its length cannot be taken or it cannot be read whole.
int readDriverFile(HANDLE file, uint8_t** image, uint32_t* length);
