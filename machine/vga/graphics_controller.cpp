#include "machine/vga/graphics_controller.h"

namespace machine {

using namespace vga::gc;

uint8_t GraphicsController::in(uint16_t port) const
{
    return port == INDEX_PORT ? index : reg[index % REGISTER_COUNT];
}

void GraphicsController::out(uint16_t port, uint8_t value)
{
    if (port == INDEX_PORT)
        index = value % REGISTER_COUNT;
    else
        reg[index % REGISTER_COUNT] = value;
}

uint32_t GraphicsController::windowBase() const
{
    switch ((reg[MISC] & MISC_MEMORY_MAP) >> MISC_MEMORY_MAP_SHIFT) {
    case MEMORY_MAP_B0000_32K: return 0xB0000;
    case MEMORY_MAP_B8000_32K: return 0xB8000;
    default: return vga::WINDOW_START;
    }
}

uint32_t GraphicsController::windowSize() const
{
    switch ((reg[MISC] & MISC_MEMORY_MAP) >> MISC_MEMORY_MAP_SHIFT) {
    case MEMORY_MAP_A0000_128K: return 0x20000;
    case MEMORY_MAP_A0000_64K: return 0x10000;
    default: return 0x8000;
    }
}

uint8_t GraphicsController::read(uint32_t planes)
{
    latches = planes;
    if (!(reg[MODE] & MODE_READ_COMPARE))
        return static_cast<uint8_t>(latches >> (readMap() * 8));
    // Read mode 1: a bit is set where every plane that counts matches the compare colour.
    uint32_t differ = (latches ^ expandPlanes(reg[COLOR_COMPARE] & 0x0F)) & expandPlanes(reg[COLOR_DONT_CARE] & 0x0F);
    differ |= differ >> 16;
    differ |= differ >> 8;
    return static_cast<uint8_t>(~differ);
}

uint32_t GraphicsController::write(uint8_t value) const
{
    const uint8_t rotate = reg[DATA_ROTATE] & DATA_ROTATE_COUNT;
    const uint8_t rotated = static_cast<uint8_t>((value >> rotate) | (value << (8 - rotate)));
    uint32_t data = 0;
    uint8_t bitMask = reg[BIT_MASK];
    switch (reg[MODE] & MODE_WRITE_MODE) {
    case 0: {
        const uint32_t setMask = expandPlanes(reg[ENABLE_SET_RESET] & 0x0F);
        data = (rotated * 0x01010101u & ~setMask) | (expandPlanes(reg[SET_RESET] & 0x0F) & setMask);
        break;
    }
    case 1: return latches;
    case 2: data = expandPlanes(value & 0x0F); break;
    case 3:
        bitMask &= rotated;
        data = expandPlanes(reg[SET_RESET] & 0x0F);
        break;
    }
    switch ((reg[DATA_ROTATE] & DATA_ROTATE_FUNCTION) >> DATA_ROTATE_FUNCTION_SHIFT) {
    case FUNCTION_AND: data &= latches; break;
    case FUNCTION_OR: data |= latches; break;
    case FUNCTION_XOR: data ^= latches; break;
    default: break;
    }
    const uint32_t mask = bitMask * 0x01010101u;
    return (data & mask) | (latches & ~mask);
}

}  // namespace machine
