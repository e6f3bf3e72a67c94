#include "display/mode_name.h"

#include "platform/display.h"

namespace display {

Access chooseAccess(const ModeFacts& mode, bool useLinear, bool virtualLinearAvailable)
{
    if (mode.planar)
        return useLinear || !mode.banked ? Access::NONE : Access::PLANAR;
    if (useLinear) {
        if (mode.hardwareLinear)
            return Access::LINEAR;
        return virtualLinearAvailable && mode.banked ? Access::VIRTUAL_LINEAR : Access::NONE;
    }
    return mode.banked ? Access::BANKED : Access::NONE;
}

uint32_t setNumber(uint32_t mode, Access access)
{
    const uint32_t plain = plainMode(mode);
    switch (access) {
    case Access::NONE: return 0;
    case Access::LINEAR: return plain | MODE_LINEAR_FRAMEBUFFER;
    default: return plain;
    }
}

std::string colourCount(int depth)
{
    switch (depth) {
    case 4: return "16 colours";
    case 8: return "256 colours";
    case 15: return "32K colours";
    case 16: return "64K colours";
    case 24: return "16M colours";
    case 32: return "16M colours 32 bit";
    default: return std::to_string(depth) + " bit colour";
    }
}

std::string modeName(const ModeFacts& mode, Access access)
{
    std::string name = std::to_string(mode.width) + " x " + std::to_string(mode.height) + " " + colourCount(mode.depth);
    switch (access) {
    case Access::LINEAR: return name + " (linear)";
    case Access::VIRTUAL_LINEAR: return name + " (virtual linear)";
    case Access::BANKED: return name + " (banked)";
    case Access::PLANAR: return name + " (planar)";
    case Access::NONE: break;
    }
    return name;
}

}  // namespace display
