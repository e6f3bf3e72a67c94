// The card's DISPI register interface: index port 0x1CE, data port 0x1CF, 16-bit.
// Indices 0x00-0x0A are the Bochs-compatible set both VGA BIOS ROMs drive; 0x10 and up
// are this card's own accelerator and hardware-cursor registers, which no ROM touches.
#pragma once

#include <cstdint>

namespace dispi {

constexpr uint16_t INDEX_PORT = 0x1CE;
constexpr uint16_t DATA_PORT = 0x1CF;

enum Register : uint16_t {
    ID = 0x00,                    // 0xB0C0..0xB0C5
    XRES = 0x01,
    YRES = 0x02,
    BPP = 0x03,
    ENABLE = 0x04,
    BANK = 0x05,                  // 64 KB units; 0x4000/0x8000 select write/read bank only
    VIRT_WIDTH = 0x06,
    VIRT_HEIGHT = 0x07,
    X_OFFSET = 0x08,
    Y_OFFSET = 0x09,
    VIDEO_MEMORY_64K = 0x0A,

    ACCEL_CAPS = 0x10,            // read-only: machine::AccelEntry bits (0 = no accelerator)
    CURSOR_CONTROL = 0x11,        // bit 0: cursor shown
    CURSOR_X = 0x12,              // signed, in pixels of the visible picture
    CURSOR_Y = 0x13,
    CURSOR_HOTSPOT = 0x14,        // x in the low byte, y in the high byte
    CURSOR_COLOR_RG = 0x15,       // red in the high byte, green in the low byte
    CURSOR_COLOR_B = 0x16,        // blue in the low byte
    CURSOR_IMAGE_INDEX = 0x17,    // word index 0..127: words 0-63 first mask, 64-127 second mask
    CURSOR_IMAGE_DATA = 0x18,     // one mask word (two bytes of a row, first byte high); index += 1
};

constexpr uint16_t ID_LATEST = 0xB0C5;

// ENABLE bits.
constexpr uint16_t ENABLED = 0x01;
constexpr uint16_t GET_CAPS = 0x02;
constexpr uint16_t DAC_8BIT = 0x20;
constexpr uint16_t LFB_ENABLED = 0x40;
constexpr uint16_t NO_CLEAR_MEM = 0x80;

// BANK flag bits the Bochs ROM writes.
constexpr uint16_t BANK_WRITE_ONLY = 0x4000;
constexpr uint16_t BANK_READ_ONLY = 0x8000;

// The hardware cursor: 32 x 32 pixels. Where the second mask is clear the picture shows
// through; where both are set the pixel is the cursor colour; where only the second mask
// is set it is black (the outline).
constexpr int CURSOR_SIZE = 32;

}  // namespace dispi
