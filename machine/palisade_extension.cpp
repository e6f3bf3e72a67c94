#include "machine/palisade_extension.h"

#include <algorithm>

namespace machine {

using namespace palisade_ext;

uint16_t PalisadeExtension::read(uint16_t index)
{
    switch (index) {
    case ACCEL_CAPS: return static_cast<uint16_t>(accelCaps_);
    case CURSOR_CONTROL: return cursor_.shown ? CURSOR_CONTROL_SHOWN : 0;
    case CURSOR_X: return static_cast<uint16_t>(cursor_.x);
    case CURSOR_Y: return static_cast<uint16_t>(cursor_.y);
    case CURSOR_HOTSPOT: return static_cast<uint16_t>(cursor_.hotX | (cursor_.hotY << 8));
    case CURSOR_COLOR_RG: return static_cast<uint16_t>((cursor_.red << 8) | cursor_.green);
    case CURSOR_COLOR_B: return cursor_.blue;
    case CURSOR_IMAGE_INDEX: return cursor_.imageIndex;
    case CURSOR_IMAGE_DATA: {
        const uint16_t word = cursor_.image[cursor_.imageIndex];
        cursor_.imageIndex = (cursor_.imageIndex + 1) % CURSOR_IMAGE_WORDS;
        return word;
    }
    default: return 0;
    }
}

void PalisadeExtension::write(uint16_t index, uint16_t value)
{
    switch (index) {
    case CURSOR_CONTROL: cursor_.shown = value & CURSOR_CONTROL_SHOWN; return;
    case CURSOR_X: cursor_.x = static_cast<int16_t>(value); return;
    case CURSOR_Y: cursor_.y = static_cast<int16_t>(value); return;
    case CURSOR_HOTSPOT:
        cursor_.hotX = std::min<uint8_t>(value & 0xFF, CURSOR_SIZE - 1);
        cursor_.hotY = std::min<uint8_t>(value >> 8, CURSOR_SIZE - 1);
        return;
    case CURSOR_COLOR_RG:
        cursor_.red = static_cast<uint8_t>(value >> 8);
        cursor_.green = static_cast<uint8_t>(value);
        return;
    case CURSOR_COLOR_B: cursor_.blue = static_cast<uint8_t>(value); return;
    case CURSOR_IMAGE_INDEX: cursor_.imageIndex = value % CURSOR_IMAGE_WORDS; return;
    case CURSOR_IMAGE_DATA:
        cursor_.image[cursor_.imageIndex] = value;
        cursor_.imageIndex = (cursor_.imageIndex + 1) % CURSOR_IMAGE_WORDS;
        return;
    default: return;  // ACCEL_CAPS is read-only
    }
}

// Where the second mask is clear the picture shows through; where both are set the pixel is
// the cursor colour; where only the second is set it is black (the outline).
bool PalisadeExtension::sprite(CursorSprite& sprite) const
{
    if (!cursor_.shown)
        return false;
    const uint32_t colour = (static_cast<uint32_t>(cursor_.red) << 16) | (cursor_.green << 8) | cursor_.blue;
    sprite.left = cursor_.x - cursor_.hotX;
    sprite.top = cursor_.y - cursor_.hotY;
    sprite.size = CURSOR_SIZE;
    sprite.pixels.assign(CURSOR_SIZE * CURSOR_SIZE, CursorSprite::TRANSPARENT);
    for (int row = 0; row < CURSOR_SIZE; ++row) {
        for (int column = 0; column < CURSOR_SIZE; ++column) {
            const int word = row * 2 + column / 16;
            const uint16_t bit = static_cast<uint16_t>(0x8000u >> (column % 16));
            if (!(cursor_.image[CURSOR_MASK_WORDS + word] & bit))
                continue;
            sprite.pixels[row * CURSOR_SIZE + column] = (cursor_.image[word] & bit) ? colour : 0;
        }
    }
    return true;
}

}  // namespace machine
