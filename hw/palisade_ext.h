// Palisade's own extension of the DISPI card: registers 10h-18h behind the DISPI index/data
// ports, which no Bochs card and no ROM knows: the accelerator's capabilities and a 32 x 32
// hardware cursor. Our drivers find them by ACCEL_CAPS reading nonzero.
#pragma once

#include <cstdint>

namespace palisade_ext {

// Read-only: the VBE/AF entries the accelerator offers, one bit each (0: no accelerator).
constexpr uint16_t ACCEL_CAPS = 0x10;
enum AccelCaps : uint32_t {
    ACCEL_CAPS_SET_CURSOR = 1u << 0,
    ACCEL_CAPS_SET_CLIP_RECT = 1u << 1,
    ACCEL_CAPS_DRAW_PATT_SCAN = 1u << 2,
    ACCEL_CAPS_DRAW_RECT = 1u << 3,
    ACCEL_CAPS_DRAW_PATT_RECT = 1u << 4,
    ACCEL_CAPS_DRAW_LINE = 1u << 5,
    ACCEL_CAPS_DRAW_STIPPLE_LINE = 1u << 6,
    ACCEL_CAPS_PUT_MONO_IMAGE = 1u << 7,
    ACCEL_CAPS_BIT_BLT = 1u << 8,
    ACCEL_CAPS_BIT_BLT_LIN = 1u << 9,
    ACCEL_CAPS_SRC_TRANS_BLT = 1u << 10,
    ACCEL_CAPS_SRC_TRANS_BLT_LIN = 1u << 11,
    ACCEL_CAPS_DST_TRANS_BLT = 1u << 12,
    ACCEL_CAPS_DST_TRANS_BLT_LIN = 1u << 13,
    ACCEL_CAPS_PRESENT = 1u << 15,  // an accelerator at all (with none of the optional entries)
    ACCEL_CAPS_ALL = 0xBFFF,
};

// The hardware cursor: 32 x 32 pixels from two masks. Where the second mask is clear the
// picture shows through; where both are set the pixel is the cursor colour; where only the
// second is set it is black (the outline).
constexpr uint16_t CURSOR_CONTROL = 0x11;
constexpr uint16_t CURSOR_CONTROL_SHOWN = 0x01;
constexpr uint16_t CURSOR_X = 0x12;  // signed, in pixels of the visible picture
constexpr uint16_t CURSOR_Y = 0x13;
constexpr uint16_t CURSOR_HOTSPOT = 0x14;      // x in the low byte, y in the high byte
constexpr uint16_t CURSOR_COLOR_RG = 0x15;     // red in the high byte, green in the low byte
constexpr uint16_t CURSOR_COLOR_B = 0x16;      // blue in the low byte
constexpr uint16_t CURSOR_IMAGE_INDEX = 0x17;  // word index: words 0-63 first mask, 64-127 second
constexpr uint16_t CURSOR_IMAGE_DATA = 0x18;   // one mask word (a row's two bytes, first high); index += 1
constexpr int CURSOR_SIZE = 32;
constexpr int CURSOR_MASK_WORDS = 64;
constexpr int CURSOR_IMAGE_WORDS = 2 * CURSOR_MASK_WORDS;

constexpr uint16_t FIRST_REGISTER = ACCEL_CAPS, LAST_REGISTER = CURSOR_IMAGE_DATA;

}  // namespace palisade_ext
