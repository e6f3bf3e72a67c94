// The Cirrus Logic CL-GD5446 register vocabulary: what its PCI BARs decode, the
// sequencer, graphics controller and CRTC extension registers with their bits, the BitBLT
// engine's registers, ROPs and memory-mapped offsets, the hidden DAC register and the
// hardware cursor.
//
// Naming as in hw/vga.h: one namespace per block (cirrus::seq, cirrus::gc, cirrus::crtc, ...),
// registers by name, each bit or field as REGISTER_BIT (cirrus::gc::BLT_MODE_BACKWARDS is bit 0
// of cirrus::gc::BLT_MODE). The standard VGA registers of each block are in hw/vga.h.
#pragma once

#include <cstdint>

namespace cirrus {

// What the PCI function's BARs decode (its vendor and device ids are in hw/pci.h).
namespace bar {
constexpr uint32_t FRAMEBUFFER_BYTES = 32u << 20;   // BAR 0, prefetchable
constexpr uint32_t REGISTERS_BYTES = 4096;          // BAR 1
constexpr uint32_t ROM_BYTES = 64u << 10;           // expansion ROM
constexpr uint32_t HOST_DATA_APERTURE = 16u << 20;  // BAR 0 + 16 MB: BitBLT system data
constexpr uint32_t HOST_DATA_APERTURE_BYTES = 4u << 20;
}  // namespace bar

// Sequencer extensions: index 3C4h, data 3C5h.
namespace seq {
constexpr uint8_t UNLOCK = 0x06;
constexpr uint8_t UNLOCK_KEY = 0x12;  // reads 12h unlocked, 0Fh otherwise
constexpr uint8_t UNLOCK_LOCKED = 0x0F;
constexpr uint8_t UNLOCK_COMPARED = 0x17;  // the written bits compared with the key
constexpr uint8_t EXTENDED_MODE = 0x07;
constexpr uint8_t EXTENDED_MODE_SVGA = 0x01;  // packed pixels, banking, Cirrus scan-out
constexpr uint8_t EXTENDED_MODE_DEPTH = 0x0E;
constexpr uint8_t EXTENDED_MODE_DEPTH_8 = 0x00;
constexpr uint8_t EXTENDED_MODE_DEPTH_16_DOUBLE_CLOCK = 0x02;
constexpr uint8_t EXTENDED_MODE_DEPTH_24 = 0x04;
constexpr uint8_t EXTENDED_MODE_DEPTH_16 = 0x06;
constexpr uint8_t EXTENDED_MODE_DEPTH_32 = 0x08;
constexpr uint8_t DDC = 0x08;
constexpr uint8_t SCRATCH0 = 0x09;
constexpr uint8_t SCRATCH1 = 0x0A;         // the ROMs keep SR0F's width bits here
constexpr uint8_t VCLK0_NUMERATOR = 0x0B;  // 0Bh-0Eh: VCLK0-3
constexpr uint8_t VCLK3_NUMERATOR = 0x0E;
constexpr uint8_t DRAM_CONTROL = 0x0F;
constexpr uint8_t DRAM_CONTROL_WIDTH = 0x18;  // 256 KB << width, or with the second bank 4 MB
constexpr uint8_t DRAM_CONTROL_WIDTH_SHIFT = 3;
constexpr uint8_t DRAM_CONTROL_SECOND_BANK = 0x80;
constexpr uint8_t DRAM_CONTROL_4MB = 0x98;
constexpr uint8_t CURSOR_X = 0x10;  // data X >> 3; index bits 7:5 carry X bits 2:0
constexpr uint8_t CURSOR_Y = 0x11;  // likewise
constexpr uint8_t CURSOR_LOW_BITS_SHIFT = 5;
constexpr uint8_t CURSOR_ATTRIBUTES = 0x12;
constexpr uint8_t CURSOR_ATTRIBUTES_SHOW = 0x01;
constexpr uint8_t CURSOR_ATTRIBUTES_DAC_ACCESS = 0x02;  // 3C7h-3C9h reach the extended colours
constexpr uint8_t CURSOR_ATTRIBUTES_LARGE = 0x04;       // 64 x 64, else 32 x 32
constexpr uint8_t CURSOR_PATTERN = 0x13;
constexpr uint8_t CURSOR_PATTERN_SMALL = 0x3F;  // the slot bits at 32 x 32
constexpr uint8_t CURSOR_PATTERN_LARGE = 0x3C;  // at 64 x 64
constexpr uint8_t SCRATCH3 = 0x15;
constexpr uint8_t SCRATCH3_4MB = 0x04;
constexpr uint8_t PERFORMANCE = 0x16;
constexpr uint8_t CONFIGURATION = 0x17;
constexpr uint8_t CONFIGURATION_MMIO = 0x04;
constexpr uint8_t CONFIGURATION_BUS = 0x38;  // read-only bus type
constexpr uint8_t CONFIGURATION_BUS_PCI = 0x20;
constexpr uint8_t CONFIGURATION_MMIO_AT_MEMORY_END = 0x40;
constexpr uint8_t VCLK0_DENOMINATOR = 0x1B;  // 1Bh-1Eh
constexpr uint8_t VCLK3_DENOMINATOR = 0x1E;
constexpr uint8_t MCLK = 0x1F;
constexpr uint8_t MCLK_RESET = 0x2D;
constexpr uint8_t LAST = 0x1F;  // higher indices read FFh
}  // namespace seq

// Graphics controller extensions: index 3CEh, data 3CFh.
namespace gc {
constexpr uint8_t BACKGROUND0 = 0x00;  // colour byte 0; the VGA's set/reset sees bits 3:0
constexpr uint8_t FOREGROUND0 = 0x01;  // the VGA's enable set/reset likewise
constexpr uint8_t OFFSET0 = 0x09;      // bank of A0000h (A0000h-A7FFFh in dual-page mode)
constexpr uint8_t OFFSET1 = 0x0A;      // bank of A8000h-AFFFFh in dual-page mode
constexpr uint8_t MODE_EXTENSIONS = 0x0B;
constexpr uint8_t MODE_EXTENSIONS_DUAL_PAGE = 0x01;
constexpr uint8_t MODE_EXTENSIONS_BY8 = 0x02;
constexpr uint8_t MODE_EXTENSIONS_WRITE_MODES = 0x04;  // write modes 4 and 5
constexpr uint8_t MODE_EXTENSIONS_WIDE_LATCHES = 0x08;
constexpr uint8_t MODE_EXTENSIONS_BY16 = 0x10;
constexpr uint8_t MODE_EXTENSIONS_16K = 0x20;  // bank granularity 16 KB, else 4 KB
constexpr uint8_t BACKGROUND1 = 0x10;
constexpr uint8_t FOREGROUND1 = 0x11;
constexpr uint8_t BACKGROUND2 = 0x12;
constexpr uint8_t FOREGROUND2 = 0x13;
constexpr uint8_t BACKGROUND3 = 0x14;
constexpr uint8_t FOREGROUND3 = 0x15;
constexpr uint8_t ID_5446 = 0x18;          // reads 0Fh
constexpr uint8_t BLT_WIDTH = 0x20;        // 20h/21h: width - 1 in bytes, 13 bits
constexpr uint8_t BLT_HEIGHT = 0x22;       // 22h/23h: height - 1 in lines, 13 bits
constexpr uint8_t BLT_DST_PITCH = 0x24;    // 24h/25h, 13 bits
constexpr uint8_t BLT_SRC_PITCH = 0x26;    // 26h/27h, 13 bits
constexpr uint8_t BLT_DST_ADDRESS = 0x28;  // 28h-2Ah, 22 bits; 2Ah starts with autostart
constexpr uint8_t BLT_SRC_ADDRESS = 0x2C;  // 2Ch-2Eh, 22 bits
constexpr uint8_t BLT_LEFT_SKIP = 0x2F;    // pixels (bytes at 24 bits) left alone on the left
constexpr uint8_t BLT_MODE = 0x30;
constexpr uint8_t BLT_MODE_BACKWARDS = 0x01;
constexpr uint8_t BLT_MODE_DST_SYSTEM = 0x02;
constexpr uint8_t BLT_MODE_SRC_SYSTEM = 0x04;
constexpr uint8_t BLT_MODE_TRANSPARENT = 0x08;
constexpr uint8_t BLT_MODE_DEPTH = 0x30;
constexpr uint8_t BLT_MODE_DEPTH_8 = 0x00;
constexpr uint8_t BLT_MODE_DEPTH_16 = 0x10;
constexpr uint8_t BLT_MODE_DEPTH_24 = 0x20;
constexpr uint8_t BLT_MODE_DEPTH_32 = 0x30;
constexpr uint8_t BLT_MODE_PATTERN = 0x40;
constexpr uint8_t BLT_MODE_COLOUR_EXPAND = 0x80;
constexpr uint8_t BLT_STATUS = 0x31;
constexpr uint8_t BLT_STATUS_BUSY = 0x01;
constexpr uint8_t BLT_STATUS_START = 0x02;
constexpr uint8_t BLT_STATUS_RESET = 0x04;
constexpr uint8_t BLT_STATUS_PROGRESS = 0x08;
constexpr uint8_t BLT_STATUS_FIFO_USED = 0x10;
constexpr uint8_t BLT_STATUS_AUTOSTART = 0x80;
constexpr uint8_t BLT_ROP = 0x32;
constexpr uint8_t BLT_MODE_EXTENSION = 0x33;
constexpr uint8_t BLT_MODE_EXTENSION_DWORD_ROWS = 0x01;  // system mono rows padded to 32 bits
constexpr uint8_t BLT_MODE_EXTENSION_INVERT = 0x02;      // colour expansion's bits inverted
constexpr uint8_t BLT_MODE_EXTENSION_SOLID_FILL = 0x04;
constexpr uint8_t BLT_TRANSPARENT_COLOUR = 0x34;  // 34h/35h
constexpr uint8_t BLT_TRANSPARENT_MASK = 0x38;    // 38h/39h
constexpr uint8_t LAST = 0x39;                    // higher indices read FFh
}  // namespace gc

// GR32 raster operations. D = destination, S = source or expanded colour.
namespace rop {
constexpr uint8_t ZERO = 0x00;
constexpr uint8_t SRC_AND_DST = 0x05;
constexpr uint8_t DST = 0x06;
constexpr uint8_t SRC_AND_NOT_DST = 0x09;
constexpr uint8_t NOT_DST = 0x0B;
constexpr uint8_t SRC = 0x0D;
constexpr uint8_t ONE = 0x0E;
constexpr uint8_t NOT_SRC_AND_DST = 0x50;
constexpr uint8_t SRC_XOR_DST = 0x59;
constexpr uint8_t SRC_OR_DST = 0x6D;
constexpr uint8_t NOT_SRC_OR_DST = 0x90;  // NOR: not (S or D)
constexpr uint8_t SRC_XNOR_DST = 0x95;
constexpr uint8_t SRC_OR_NOT_DST = 0xAD;
constexpr uint8_t NOT_SRC = 0xD0;
constexpr uint8_t NOT_SRC_OR_DST_MERGE = 0xD6;  // (not S) or D
constexpr uint8_t NOT_SRC_AND_DST_NAND = 0xDA;  // NAND: not (S and D)
}  // namespace rop

// The BitBLT registers' memory-mapped block and where it appears.
namespace mmio {
constexpr uint32_t VGA_PORTS = 0x000;  // BAR 1: port 3C0h + offset
constexpr uint32_t VGA_PORTS_BYTES = 0x20;
constexpr uint32_t BLT_BLOCK = 0x100;  // BAR 1: the BitBLT block
constexpr uint32_t BLT_BLOCK_BYTES = 0x100;
constexpr uint32_t LEGACY_ADDRESS = 0xB8000;  // with SR17 bit 2 alone; with bit 6 too: the
                                              // last 256 bytes of video memory as BAR 0 shows it
constexpr uint8_t BACKGROUND = 0x00;          // 00h-03h: GR00, GR10, GR12, GR14
constexpr uint8_t FOREGROUND = 0x04;          // 04h-07h: GR01, GR11, GR13, GR15
constexpr uint8_t WIDTH = 0x08;               // 08h-17h: GR20-GR2F in order
constexpr uint8_t LEFT_SKIP = 0x17;
constexpr uint8_t MODE = 0x18;
constexpr uint8_t ROP = 0x1A;
constexpr uint8_t MODE_EXTENSION = 0x1B;
constexpr uint8_t TRANSPARENT_COLOUR = 0x1C;  // 1Ch/1Dh
constexpr uint8_t TRANSPARENT_MASK = 0x20;    // 20h/21h
constexpr uint8_t STATUS = 0x40;
}  // namespace mmio

// CRTC extensions: index/data 3D4h/3D5h.
namespace crtc {
constexpr uint8_t INTERLACE_END = 0x19;
constexpr uint8_t MISC_CONTROL = 0x1A;
constexpr uint8_t MISC_CONTROL_INTERLACE = 0x01;  // the picture is twice CR12's height
constexpr uint8_t EXTENDED_DISPLAY = 0x1B;
constexpr uint8_t EXTENDED_DISPLAY_START_16 = 0x01;  // start address bit 16
constexpr uint8_t EXTENDED_DISPLAY_WRAP = 0x02;      // extended address wrap
constexpr uint8_t EXTENDED_DISPLAY_START_17_18 = 0x0C;
constexpr uint8_t EXTENDED_DISPLAY_OFFSET_8 = 0x10;  // offset bit 8
constexpr uint8_t EXTENDED_DISPLAY_BLANKING = 0x20;
constexpr uint8_t SYNC_ADJUST = 0x1C;
constexpr uint8_t OVERLAY = 0x1D;
constexpr uint8_t OVERLAY_START_19 = 0x80;
constexpr uint8_t LATCH_READBACK = 0x22;
constexpr uint8_t ATTRIBUTE_STATE = 0x24;  // read-only
constexpr uint8_t ATTRIBUTE_STATE_FLIP_FLOP = 0x80;
constexpr uint8_t PART_STATUS = 0x25;      // read-only
constexpr uint8_t ATTRIBUTE_INDEX = 0x26;  // read-only
constexpr uint8_t ID = 0x27;               // read-only
constexpr uint8_t ID_CHIP = 0xFC;  // bits 1-0: revision
constexpr uint8_t ID_GD5446 = 0xB8;
constexpr uint8_t LAST = 0x27;
}  // namespace crtc

// The hidden DAC register: 3C6h's fifth read, or a write right after four reads.
namespace hdr {
constexpr int READS_BEFORE = 4;
constexpr uint8_t ADVANCED = 0x80;
constexpr uint8_t EXTENDED = 0x40;
constexpr uint8_t FORMAT = 0x0F;
constexpr uint8_t FORMAT_555 = 0x00;
constexpr uint8_t FORMAT_565 = 0x01;
constexpr uint8_t FORMAT_888 = 0x05;
}  // namespace hdr

// The hardware cursor's pattern area and colours.
namespace cursor {
constexpr uint32_t AREA_BYTES = 16u << 10;  // the top of video memory
constexpr uint32_t SLOT_BYTES = 256;        // SR13 x 256 into the area
constexpr int SMALL = 32, LARGE = 64;       // pixels square
constexpr int EXTENDED_COLOURS = 16;        // the DAC entries SR12 bit 1 reaches
constexpr int BACKGROUND_ENTRY = 0;
constexpr int FOREGROUND_ENTRY = 15;
}  // namespace cursor

}  // namespace cirrus
