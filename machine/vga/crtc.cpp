#include "machine/vga/crtc.h"

namespace machine {

using namespace vga::crtc;

uint8_t Crtc::in(uint16_t port) const
{
    return port == INDEX_PORT || port == MONO_INDEX_PORT ? index : reg[index % REGISTER_COUNT];
}

void Crtc::out(uint16_t port, uint8_t value)
{
    if (port == INDEX_PORT || port == MONO_INDEX_PORT) {
        index = value % REGISTER_COUNT;
        return;
    }
    const uint8_t at = index % REGISTER_COUNT;
    // The protect bit keeps the timing registers 0-7 as they are, except the line compare bit
    // of the overflow register.
    if ((reg[V_SYNC_END] & V_SYNC_END_PROTECT) && at <= PROTECTED_LAST) {
        if (at == OVERFLOW)
            reg[OVERFLOW] = (reg[OVERFLOW] & ~OVERFLOW_LINE_COMPARE_8) | (value & OVERFLOW_LINE_COMPARE_8);
        return;
    }
    reg[at] = value;
}

int Crtc::displayLines() const
{
    const uint8_t overflow = reg[OVERFLOW];
    return reg[V_DISPLAY_END] + ((overflow & OVERFLOW_V_DISPLAY_END_8) ? 0x100 : 0) +
           ((overflow & OVERFLOW_V_DISPLAY_END_9) ? 0x200 : 0) + 1;
}

}  // namespace machine
