#include "machine/vga/attribute_controller.h"

namespace machine {

using namespace vga::attr;

uint8_t AttributeController::in(uint16_t port) const
{
    return port == WRITE_PORT ? index : reg[index & INDEX_REGISTER];
}

void AttributeController::out(uint16_t port, uint8_t value)
{
    if (port != WRITE_PORT)
        return;
    if (dataNext)
        reg[index & INDEX_REGISTER] = value;
    else
        index = value & (INDEX_REGISTER | INDEX_PICTURE_ON);
    dataNext = !dataNext;
}

std::array<uint8_t, PALETTE_COUNT> AttributeController::dacIndices() const
{
    std::array<uint8_t, PALETTE_COUNT> map{};
    const uint8_t mode = reg[MODE_CONTROL];
    const uint8_t select = reg[COLOR_SELECT];
    for (int pixel = 0; pixel < PALETTE_COUNT; ++pixel) {
        const uint8_t entry = reg[PALETTE + (pixel & reg[COLOR_PLANE_ENABLE] & COLOR_PLANE_ENABLE_PLANES)];
        uint8_t dacIndex = (mode & MODE_CONTROL_P54_SELECT)
                               ? static_cast<uint8_t>((entry & 0x0F) | ((select & COLOR_SELECT_54) << 4))
                               : static_cast<uint8_t>(entry & 0x3F);
        dacIndex |= static_cast<uint8_t>((select & COLOR_SELECT_76) << 4);
        map[pixel] = dacIndex;
    }
    return map;
}

}  // namespace machine
