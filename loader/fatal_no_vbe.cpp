#include "loader/fatal_no_vbe.h"

#include <cstdlib>

#include "platform/win32.h"

void fatalNoVBE()
{
    MessageBoxA(nullptr, fatalNoVBEText, fatalNoVBECaption, MB_ICONEXCLAMATION | MB_OK);
    std::exit(1);
}
