// Palisade's own extension registers (10h-18h behind the DISPI index/data ports): the
// accelerator's capability register and the 32 x 32 hardware cursor. They are ours, not
// DISPI's: no Bochs card has them and no ROM touches them.
#pragma once

#include <array>
#include <cstdint>

#include "hw/palisade_ext.h"
#include "machine/cursor_sprite.h"

namespace machine {

struct HardwareCursor {
    bool shown = false;
    int16_t x = 0, y = 0;
    uint8_t hotX = 0, hotY = 0;
    uint8_t red = 0xFF, green = 0xFF, blue = 0xFF;
    uint16_t imageIndex = 0;
    std::array<uint16_t, palisade_ext::CURSOR_IMAGE_WORDS> image{};  // first mask, then the second
};

class PalisadeExtension {
public:
    explicit PalisadeExtension(uint32_t accelCaps) : accelCaps_(accelCaps) {}

    static bool owns(uint16_t index)
    {
        return index >= palisade_ext::FIRST_REGISTER && index <= palisade_ext::LAST_REGISTER;
    }
    uint16_t read(uint16_t index);
    void write(uint16_t index, uint16_t value);

    const HardwareCursor& cursor() const { return cursor_; }
    // The cursor as the scan-out draws it over the picture; false while it is hidden.
    bool sprite(CursorSprite& sprite) const;

private:
    uint32_t accelCaps_;
    HardwareCursor cursor_;
};

}  // namespace machine
