// The VGA's registers by block: ports, register indices and named bits, as the hardware has them.
//
// Naming: one namespace per block (vga::seq, vga::gc, vga::crtc, vga::attr, vga::dac, vga::misc,
// vga::status1); in it *_PORT for its ports, the register indices by name, and each bit or field
// as REGISTER_BIT (vga::seq::MEMORY_MODE_CHAIN4 is bit 3 of vga::seq::MEMORY_MODE). hw/vga.inc
// has the same names for nasm as VGA_BLOCK_NAME (VGA_SEQ_MEMORY_MODE_CHAIN4).
#pragma once

#include <cstdint>

namespace vga {

// The host's window onto video memory; the graphics controller's memory map picks a part of it.
constexpr uint32_t WINDOW_START = 0xA0000;
constexpr uint32_t WINDOW_END = 0xC0000;

// Sequencer: index 3C4h, data 3C5h.
namespace seq {
constexpr uint16_t INDEX_PORT = 0x3C4;
constexpr uint16_t DATA_PORT = 0x3C5;
constexpr uint8_t REGISTER_COUNT = 8;  // the index decodes 3 bits

constexpr uint8_t RESET = 0x00;
constexpr uint8_t RESET_ASYNC_OFF = 0x01;  // clear: asynchronous reset
constexpr uint8_t RESET_SYNC_OFF = 0x02;   // clear: synchronous reset
constexpr uint8_t CLOCKING_MODE = 0x01;
constexpr uint8_t CLOCKING_MODE_8_DOTS = 0x01;  // 8-dot characters (clear: 9)
constexpr uint8_t CLOCKING_MODE_SHIFT_LOAD = 0x04;
constexpr uint8_t CLOCKING_MODE_HALF_DOT_CLOCK = 0x08;
constexpr uint8_t CLOCKING_MODE_SHIFT_4 = 0x10;
constexpr uint8_t CLOCKING_MODE_SCREEN_OFF = 0x20;
constexpr uint8_t MAP_MASK = 0x02;
constexpr uint8_t MAP_MASK_PLANES = 0x0F;  // bit n: plane n is written
constexpr uint8_t CHARACTER_MAP = 0x03;    // map B: bits 4,1,0; map A: bits 5,3,2
constexpr uint8_t MEMORY_MODE = 0x04;
constexpr uint8_t MEMORY_MODE_EXTENDED = 0x02;      // more than 64 KB
constexpr uint8_t MEMORY_MODE_ODD_EVEN_OFF = 0x04;  // set: sequential writes, clear: odd/even
constexpr uint8_t MEMORY_MODE_CHAIN4 = 0x08;
}  // namespace seq

// Graphics controller: index 3CEh, data 3CFh.
namespace gc {
constexpr uint16_t INDEX_PORT = 0x3CE;
constexpr uint16_t DATA_PORT = 0x3CF;
constexpr uint8_t REGISTER_COUNT = 16;  // the index decodes 4 bits

constexpr uint8_t SET_RESET = 0x00;
constexpr uint8_t ENABLE_SET_RESET = 0x01;
constexpr uint8_t COLOR_COMPARE = 0x02;
constexpr uint8_t DATA_ROTATE = 0x03;
constexpr uint8_t DATA_ROTATE_COUNT = 0x07;
constexpr uint8_t DATA_ROTATE_FUNCTION = 0x18;
constexpr uint8_t DATA_ROTATE_FUNCTION_SHIFT = 3;
constexpr uint8_t FUNCTION_REPLACE = 0, FUNCTION_AND = 1, FUNCTION_OR = 2, FUNCTION_XOR = 3;
constexpr uint8_t READ_MAP_SELECT = 0x04;
constexpr uint8_t READ_MAP_SELECT_PLANE = 0x03;
constexpr uint8_t MODE = 0x05;
constexpr uint8_t MODE_WRITE_MODE = 0x03;
constexpr uint8_t MODE_READ_COMPARE = 0x08;  // read mode 1 (clear: read mode 0)
constexpr uint8_t MODE_HOST_ODD_EVEN = 0x10;
constexpr uint8_t MODE_SHIFT_INTERLEAVE = 0x20;
constexpr uint8_t MODE_SHIFT_256 = 0x40;  // 256 colours: four bytes per character clock
constexpr uint8_t MISC = 0x06;
constexpr uint8_t MISC_GRAPHICS = 0x01;
constexpr uint8_t MISC_CHAIN_ODD_EVEN = 0x02;
constexpr uint8_t MISC_MEMORY_MAP = 0x0C;
constexpr uint8_t MISC_MEMORY_MAP_SHIFT = 2;
constexpr uint8_t MEMORY_MAP_A0000_128K = 0, MEMORY_MAP_A0000_64K = 1, MEMORY_MAP_B0000_32K = 2,
                  MEMORY_MAP_B8000_32K = 3;
constexpr uint8_t COLOR_DONT_CARE = 0x07;
constexpr uint8_t BIT_MASK = 0x08;
}  // namespace gc

// CRT controller: index/data at 3D4h/3D5h (colour) or 3B4h/3B5h (monochrome).
namespace crtc {
constexpr uint16_t INDEX_PORT = 0x3D4;
constexpr uint16_t DATA_PORT = 0x3D5;
constexpr uint16_t MONO_INDEX_PORT = 0x3B4;
constexpr uint16_t MONO_DATA_PORT = 0x3B5;
constexpr uint8_t REGISTER_COUNT = 32;  // the index decodes 5 bits

constexpr uint8_t H_TOTAL = 0x00;
constexpr uint8_t H_DISPLAY_END = 0x01;
constexpr uint8_t H_BLANK_START = 0x02;
constexpr uint8_t H_BLANK_END = 0x03;
constexpr uint8_t H_SYNC_START = 0x04;
constexpr uint8_t H_SYNC_END = 0x05;
constexpr uint8_t V_TOTAL = 0x06;
constexpr uint8_t OVERFLOW = 0x07;
constexpr uint8_t OVERFLOW_V_DISPLAY_END_8 = 0x02;  // bit 8 of the vertical display end
constexpr uint8_t OVERFLOW_LINE_COMPARE_8 = 0x10;
constexpr uint8_t OVERFLOW_V_DISPLAY_END_9 = 0x40;
constexpr uint8_t PRESET_ROW_SCAN = 0x08;
constexpr uint8_t MAX_SCAN_LINE = 0x09;
constexpr uint8_t MAX_SCAN_LINE_COUNT = 0x1F;   // scan lines per character row, minus one
constexpr uint8_t MAX_SCAN_LINE_DOUBLE = 0x80;  // each line scanned twice
constexpr uint8_t CURSOR_START = 0x0A;
constexpr uint8_t CURSOR_START_LINE = 0x1F;
constexpr uint8_t CURSOR_START_OFF = 0x20;
constexpr uint8_t CURSOR_END = 0x0B;
constexpr uint8_t CURSOR_END_LINE = 0x1F;
constexpr uint8_t START_ADDRESS_HIGH = 0x0C;
constexpr uint8_t START_ADDRESS_LOW = 0x0D;
constexpr uint8_t CURSOR_LOCATION_HIGH = 0x0E;
constexpr uint8_t CURSOR_LOCATION_LOW = 0x0F;
constexpr uint8_t V_SYNC_START = 0x10;
constexpr uint8_t V_SYNC_END = 0x11;
constexpr uint8_t V_SYNC_END_PROTECT = 0x80;  // registers 0-7 read-only, but OVERFLOW_LINE_COMPARE_8
constexpr uint8_t PROTECTED_LAST = 0x07;
constexpr uint8_t V_DISPLAY_END = 0x12;
constexpr uint8_t OFFSET = 0x13;  // line length: OFFSET x 2 plane addresses
constexpr uint8_t UNDERLINE_LOCATION = 0x14;
constexpr uint8_t V_BLANK_START = 0x15;
constexpr uint8_t V_BLANK_END = 0x16;
constexpr uint8_t MODE_CONTROL = 0x17;
constexpr uint8_t LINE_COMPARE = 0x18;
}  // namespace crtc

// Attribute controller: 3C0h takes an index, then data, by turns (reading input status 1 goes
// back to the index); 3C1h reads the register indexed.
namespace attr {
constexpr uint16_t WRITE_PORT = 0x3C0;
constexpr uint16_t READ_PORT = 0x3C1;
constexpr uint8_t REGISTER_COUNT = 32;
constexpr uint8_t INDEX_REGISTER = 0x1F;
constexpr uint8_t INDEX_PICTURE_ON = 0x20;  // palette address source: clear while loading, picture off

constexpr uint8_t PALETTE = 0x00;  // 16 entries, 00h-0Fh
constexpr uint8_t PALETTE_COUNT = 16;
constexpr uint8_t MODE_CONTROL = 0x10;
constexpr uint8_t MODE_CONTROL_GRAPHICS = 0x01;
constexpr uint8_t MODE_CONTROL_MONO = 0x02;
constexpr uint8_t MODE_CONTROL_LINE_GRAPHICS = 0x04;  // 9th dot of C0h-DFh repeats the 8th
constexpr uint8_t MODE_CONTROL_BLINK = 0x08;          // attribute bit 7 blinks (not a bright background)
constexpr uint8_t MODE_CONTROL_PANNING_COMPAT = 0x20;
constexpr uint8_t MODE_CONTROL_8BIT = 0x40;
constexpr uint8_t MODE_CONTROL_P54_SELECT = 0x80;  // colour select bits 1-0 give index bits 5-4
constexpr uint8_t OVERSCAN = 0x11;
constexpr uint8_t COLOR_PLANE_ENABLE = 0x12;
constexpr uint8_t COLOR_PLANE_ENABLE_PLANES = 0x0F;
constexpr uint8_t H_PIXEL_PANNING = 0x13;
constexpr uint8_t COLOR_SELECT = 0x14;
constexpr uint8_t COLOR_SELECT_54 = 0x03;  // DAC index bits 5-4 with MODE_CONTROL_P54_SELECT
constexpr uint8_t COLOR_SELECT_76 = 0x0C;  // DAC index bits 7-6
}  // namespace attr

// DAC: pixel mask, read and write index, and the data port taking red, green, blue by turns.
namespace dac {
constexpr uint16_t PIXEL_MASK_PORT = 0x3C6;
constexpr uint16_t READ_INDEX_PORT = 0x3C7;  // read: the DAC state
constexpr uint16_t WRITE_INDEX_PORT = 0x3C8;
constexpr uint16_t DATA_PORT = 0x3C9;
constexpr uint8_t STATE_READING = 0x03;  // 3C7h reads this after a read index was written
constexpr int ENTRIES = 256;
constexpr int COMPONENTS = 3;
}  // namespace dac

// Miscellaneous output: written at 3C2h, read at 3CCh.
namespace misc {
constexpr uint16_t WRITE_PORT = 0x3C2;
constexpr uint16_t READ_PORT = 0x3CC;
constexpr uint8_t COLOR_IO = 0x01;  // CRTC and input status 1 at 3Dxh (clear: 3Bxh)
constexpr uint8_t RAM_ENABLE = 0x02;
constexpr uint8_t CLOCK_SELECT = 0x0C;
constexpr uint8_t PAGE_HIGH = 0x20;
constexpr uint8_t HSYNC_NEGATIVE = 0x40;
constexpr uint8_t VSYNC_NEGATIVE = 0x80;
}  // namespace misc

// Input status 0 (read at 3C2h) and the feature control register (read at 3CAh, written at the
// input status 1 port).
namespace status0 {
constexpr uint16_t PORT = 0x3C2;
}  // namespace status0
namespace feature {
constexpr uint16_t READ_PORT = 0x3CA;
}  // namespace feature

// Input status 1: 3DAh (colour) or 3BAh (monochrome). Reading it also sends the attribute
// controller's flip-flop back to the index.
namespace status1 {
constexpr uint16_t PORT = 0x3DA;
constexpr uint16_t MONO_PORT = 0x3BA;
constexpr uint8_t DISPLAY_DISABLED = 0x01;  // in horizontal or vertical blanking
constexpr uint8_t VERTICAL_RETRACE = 0x08;
}  // namespace status1

// The port ranges a VGA decodes: the monochrome CRTC and status (3B4h-3BAh) and 3C0h-3DAh.
constexpr uint16_t MONO_PORTS_FIRST = 0x3B4, MONO_PORTS_LAST = 0x3BA;
constexpr uint16_t PORTS_FIRST = 0x3C0, PORTS_LAST = 0x3DA;

}  // namespace vga
