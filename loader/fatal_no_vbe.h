// The loader's own fatal message: a driver that needs a VBE BIOS where none answered.
#pragma once

inline constexpr char fatalNoVBECaption[] = "KestrelLib Fatal Error!";
inline constexpr char fatalNoVBEText[] =
    "In order for this program to be able to function correctly with your video card, it requires a VESA VBE "
    "SuperVGA BIOS implemenation to be installed. Please install the VESA VBE driver that came with your video card "
    "*BEFORE* attempting to run this program again.";

// Shows the message and ends the process with exit status 1.
[[noreturn]] void fatalNoVBE();
