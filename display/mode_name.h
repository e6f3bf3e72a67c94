// How a display mode is offered to the program: the number to set it with and its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace display {

// What the library knows of a mode from its VBE mode information.
struct ModeFacts {
    int width = 0;
    int height = 0;
    int depth = 0;                // 4, 8, 15, 16, 24 or 32
    bool planar = false;          // 4-bit VGA planes
    bool hardwareLinear = false;  // the card maps it at a linear framebuffer
    bool banked = false;          // reachable through the 64 KB window
};

// A VBE mode number is 9 bits; the bits above ask for ways of setting it.
inline uint32_t plainMode(uint32_t mode)
{
    return mode & 0x1FF;
}

enum class Access { NONE, LINEAR, VIRTUAL_LINEAR, BANKED, PLANAR };

// How the library draws in the mode when the program asks for a linear framebuffer or
// not. A planar mode has no linear form, hardware or virtual; a mode without a window
// can only be reached linearly.
Access chooseAccess(const ModeFacts& mode, bool useLinear, bool virtualLinearAvailable);

// The number to set the mode with: the plain number, with 0x4000 for the hardware linear
// framebuffer; 0 when the mode cannot be offered that way.
uint32_t setNumber(uint32_t mode, Access access);

// "640 x 480 256 colours (linear)": resolution, colours, then the way it is drawn.
std::string modeName(const ModeFacts& mode, Access access);
std::string colourCount(int depth);

}  // namespace display
