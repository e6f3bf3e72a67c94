// The S3 Trio64 register vocabulary: the CRTC extension registers that say what the card
// shows (its unlock keys, chip id, display start and line length high bits, overflow bits,
// pixel format) and its bank register. What each holds was measured on DOSBox 0.74's svga_s3
// through Palisade's agent, with the card's own VBE setting the modes (card_reading/README.md).
//
// Naming as in hw/vga.h; the standard VGA registers are there.
#pragma once

#include <cstdint>

namespace s3 {

// CRTC extensions: index 3D4h, data 3D5h. CR38 and CR39 unlock the rest.
namespace crtc {
constexpr uint8_t CHIP_ID = 0x30;
constexpr uint8_t CHIP_ID_TRIO64 = 0xE1;
constexpr uint8_t MEMORY_CONFIG = 0x31;
constexpr uint8_t CPU_BANK = 0x35;  // bits 3:0: the 64 KB bank, low bits (CR6A holds it whole)
constexpr uint8_t REGISTER_LOCK_1 = 0x38;
constexpr uint8_t REGISTER_LOCK_1_KEY = 0x48;  // unlocks CR2D-CR3F
constexpr uint8_t REGISTER_LOCK_2 = 0x39;
constexpr uint8_t REGISTER_LOCK_2_KEY = 0xA5;  // unlocks CR40-CRFF
constexpr uint8_t MISC_1 = 0x3A;
constexpr uint8_t MISC_1_ENHANCED_256 = 0x10;  // packed pixels: the card's own modes
constexpr uint8_t EXT_MODE = 0x43;
constexpr uint8_t EXT_MODE_OFFSET_8 = 0x04;  // line length bit 8, where CR51 leaves it
constexpr uint8_t EXT_SYSTEM_CONTROL_2 = 0x51;
constexpr uint8_t EXT_SYSTEM_CONTROL_2_START_16_17 = 0x03;
constexpr uint8_t EXT_SYSTEM_CONTROL_2_OFFSET_8_9 = 0x30;
constexpr uint8_t EXT_H_OVERFLOW = 0x5D;
constexpr uint8_t EXT_H_OVERFLOW_DISPLAY_END_8 = 0x02;
constexpr uint8_t EXT_V_OVERFLOW = 0x5E;
constexpr uint8_t EXT_V_OVERFLOW_DISPLAY_END_10 = 0x02;
constexpr uint8_t EXT_MISC_CONTROL_2 = 0x67;
constexpr uint8_t EXT_MISC_CONTROL_2_COLOUR_MODE = 0xF0;
constexpr uint8_t COLOUR_MODE_8 = 0x00;   // one pixel a clock
constexpr uint8_t COLOUR_MODE_15 = 0x30;  // two clocks a pixel
constexpr uint8_t COLOUR_MODE_16 = 0x50;  // two clocks a pixel
constexpr uint8_t COLOUR_MODE_32 = 0xD0;  // one pixel a clock
constexpr uint8_t EXT_SYSTEM_CONTROL_3 = 0x69;  // display start bits 20:16, whole
constexpr uint8_t EXT_SYSTEM_CONTROL_3_START = 0x1F;
constexpr uint8_t EXT_SYSTEM_CONTROL_4 = 0x6A;  // the 64 KB bank the window at A0000h shows
}  // namespace crtc

}  // namespace s3
