// The Cirrus Logic CL-GD5446 register vocabulary: PCI identity, the sequencer, graphics
// controller and CRTC extension registers with their bits, the BitBLT engine's registers and
// their memory-mapped offsets, the hidden DAC register and the hardware cursor.
#pragma once

#include <cstdint>

namespace cirrus {

// ---- PCI and memory layout -------------------------------------------------------------------
constexpr uint16_t PCI_VENDOR = 0x1013;            // Cirrus Logic
constexpr uint16_t PCI_DEVICE_GD5446 = 0x00B8;
constexpr uint32_t FRAMEBUFFER_BAR_BYTES = 32u << 20;   // BAR 0, prefetchable
constexpr uint32_t MMIO_BAR_BYTES = 4096;               // BAR 1
constexpr uint32_t ROM_BAR_BYTES = 64u << 10;           // expansion ROM
constexpr uint32_t HOST_DATA_APERTURE = 16u << 20;      // BAR 0 + 16 MB: BitBLT system data
constexpr uint32_t HOST_DATA_APERTURE_BYTES = 4u << 20;
// BAR 1: VGA ports 3C0h-3DFh at offset port - 3C0h, the BitBLT block at 100h.
constexpr uint32_t MMIO_VGA_PORTS = 0x000;
constexpr uint32_t MMIO_VGA_PORTS_BYTES = 0x20;
constexpr uint32_t MMIO_BLT = 0x100;
constexpr uint32_t MMIO_BLT_BYTES = 0x100;
// With SR17 bits 2 and 6 the BitBLT block also sits in the last 256 bytes of video memory
// (as BAR 0 shows it), with bit 2 alone at B8000h.
constexpr uint32_t LEGACY_MMIO_ADDRESS = 0xB8000;

// ---- Sequencer extensions (3C4h/3C5h) --------------------------------------------------------
enum Sequencer : uint8_t {
    SR_UNLOCK = 0x06,
    SR_EXTENDED_MODE = 0x07,
    SR_DDC = 0x08,
    SR_SCRATCH0 = 0x09,
    SR_SCRATCH1 = 0x0A,
    SR_VCLK0_NUMERATOR = 0x0B,       // ..0Eh: VCLK0-3
    SR_DRAM_CONTROL = 0x0F,
    SR_CURSOR_X = 0x10,              // index bits 7:5 carry X bits 2:0 (write to 10h/30h/../F0h)
    SR_CURSOR_Y = 0x11,              // likewise 11h/31h/../F1h
    SR_CURSOR_ATTRIBUTES = 0x12,
    SR_CURSOR_PATTERN = 0x13,
    SR_SCRATCH3 = 0x15,
    SR_PERFORMANCE = 0x16,
    SR_CONFIGURATION = 0x17,
    SR_VCLK0_DENOMINATOR = 0x1B,     // ..1Eh
    SR_MCLK = 0x1F,
    SR_LAST = 0x1F,                  // above: reads FFh
};

constexpr uint8_t UNLOCK_KEY = 0x12;       // SR06 reads 12h unlocked, 0Fh otherwise
constexpr uint8_t LOCKED = 0x0F;
constexpr uint8_t UNLOCK_MASK = 0x17;      // SR06 compares the written value masked with this

// SR07
constexpr uint8_t EXT_SVGA = 0x01;         // packed pixels, banking, linear window, Cirrus scan-out
constexpr uint8_t EXT_DEPTH_MASK = 0x0E;
constexpr uint8_t EXT_DEPTH_8 = 0x00;
constexpr uint8_t EXT_DEPTH_16_DOUBLE_CLOCK = 0x02;
constexpr uint8_t EXT_DEPTH_24 = 0x04;
constexpr uint8_t EXT_DEPTH_16 = 0x06;
constexpr uint8_t EXT_DEPTH_32 = 0x08;

// SR0F: bits 4:3 DRAM width, bit 7 second bank; 98h = 4 MB.
constexpr uint8_t DRAM_WIDTH_MASK = 0x18;
constexpr uint8_t DRAM_SECOND_BANK = 0x80;
constexpr uint8_t DRAM_4MB = 0x98;
constexpr uint8_t SCRATCH3_4MB = 0x04;     // SR15 memory code

// SR12
constexpr uint8_t CURSOR_SHOW = 0x01;
constexpr uint8_t CURSOR_DAC_ACCESS = 0x02;   // 3C7h-3C9h reach the extended colours
constexpr uint8_t CURSOR_LARGE = 0x04;        // 64 x 64, else 32 x 32

// SR17
constexpr uint8_t CONFIG_MMIO = 0x04;
constexpr uint8_t CONFIG_BUS_MASK = 0x38;     // read-only bus type
constexpr uint8_t CONFIG_BUS_PCI = 0x20;
constexpr uint8_t CONFIG_MMIO_AT_MEMORY_END = 0x40;

constexpr uint8_t MCLK_RESET = 0x2D;

// ---- Graphics controller extensions (3CEh/3CFh) ----------------------------------------------
enum Graphics : uint8_t {
    GR_BACKGROUND0 = 0x00,           // also VGA set/reset (bits 3:0)
    GR_FOREGROUND0 = 0x01,           // also VGA enable set/reset
    GR_OFFSET0 = 0x09,               // bank of A0000h (A0000h-A7FFFh in dual-page mode)
    GR_OFFSET1 = 0x0A,               // bank of A8000h-AFFFFh in dual-page mode
    GR_MODE_EXTENSIONS = 0x0B,
    GR_BACKGROUND1 = 0x10,
    GR_FOREGROUND1 = 0x11,
    GR_BACKGROUND2 = 0x12,
    GR_FOREGROUND2 = 0x13,
    GR_BACKGROUND3 = 0x14,
    GR_FOREGROUND3 = 0x15,
    GR_ID_5446 = 0x18,               // reads 0Fh
    GR_BLT_WIDTH = 0x20,             // 20h/21h: width - 1 in bytes, 13 bits
    GR_BLT_HEIGHT = 0x22,            // 22h/23h: height - 1 in lines, 13 bits
    GR_BLT_DST_PITCH = 0x24,         // 24h/25h, 13 bits
    GR_BLT_SRC_PITCH = 0x26,         // 26h/27h, 13 bits
    GR_BLT_DST_ADDRESS = 0x28,       // 28h-2Ah, 22 bits; writing 2Ah starts with autostart
    GR_BLT_SRC_ADDRESS = 0x2C,       // 2Ch-2Eh, 22 bits
    GR_BLT_LEFT_SKIP = 0x2F,
    GR_BLT_MODE = 0x30,
    GR_BLT_STATUS = 0x31,
    GR_BLT_ROP = 0x32,
    GR_BLT_MODE_EXTENSION = 0x33,
    GR_BLT_TRANSPARENT_COLOUR = 0x34,  // 34h/35h
    GR_BLT_TRANSPARENT_MASK = 0x38,    // 38h/39h
    GR_LAST = 0x39,                  // above: reads FFh
};

// GR0B
constexpr uint8_t GR0B_DUAL_PAGE = 0x01;
constexpr uint8_t GR0B_BY8 = 0x02;
constexpr uint8_t GR0B_EXTENDED_WRITE_MODES = 0x04;
constexpr uint8_t GR0B_WIDE_LATCHES = 0x08;
constexpr uint8_t GR0B_BY16 = 0x10;
constexpr uint8_t GR0B_16K_GRANULARITY = 0x20;

// GR30 BLT mode
constexpr uint8_t BLT_BACKWARDS = 0x01;
constexpr uint8_t BLT_DST_SYSTEM = 0x02;
constexpr uint8_t BLT_SRC_SYSTEM = 0x04;
constexpr uint8_t BLT_TRANSPARENT = 0x08;
constexpr uint8_t BLT_DEPTH_MASK = 0x30;
constexpr uint8_t BLT_DEPTH_8 = 0x00;
constexpr uint8_t BLT_DEPTH_16 = 0x10;
constexpr uint8_t BLT_DEPTH_24 = 0x20;
constexpr uint8_t BLT_DEPTH_32 = 0x30;
constexpr uint8_t BLT_PATTERN = 0x40;
constexpr uint8_t BLT_COLOUR_EXPAND = 0x80;

// GR31 start / status
constexpr uint8_t BLT_BUSY = 0x01;
constexpr uint8_t BLT_START = 0x02;
constexpr uint8_t BLT_RESET = 0x04;
constexpr uint8_t BLT_PROGRESS = 0x08;
constexpr uint8_t BLT_FIFO_USED = 0x10;
constexpr uint8_t BLT_AUTOSTART = 0x80;

// GR33 mode extension
constexpr uint8_t BLT_DWORD_ROWS = 0x01;      // system mono rows padded to 32 bits
constexpr uint8_t BLT_INVERT_EXPANSION = 0x02;
constexpr uint8_t BLT_SOLID_FILL = 0x04;

// GR32 raster operations. D = destination, S = source or expanded colour.
enum Rop : uint8_t {
    ROP_ZERO = 0x00,
    ROP_SRC_AND_DST = 0x05,
    ROP_DST = 0x06,
    ROP_SRC_AND_NOT_DST = 0x09,
    ROP_NOT_DST = 0x0B,
    ROP_SRC = 0x0D,
    ROP_ONE = 0x0E,
    ROP_NOT_SRC_AND_DST = 0x50,
    ROP_SRC_XOR_DST = 0x59,
    ROP_SRC_OR_DST = 0x6D,
    ROP_NOT_SRC_OR_DST = 0x90,       // NOR: not (S or D)
    ROP_SRC_XNOR_DST = 0x95,
    ROP_SRC_OR_NOT_DST = 0xAD,
    ROP_NOT_SRC = 0xD0,
    ROP_NOT_SRC_OR_DST_MERGE = 0xD6, // (not S) or D
    ROP_NOT_SRC_AND_DST_NAND = 0xDA, // NAND: not (S and D)
};

// Offsets in the BitBLT MMIO block.
enum BltMmio : uint8_t {
    MMIO_BACKGROUND = 0x00,          // 00h-03h: GR00, GR10, GR12, GR14
    MMIO_FOREGROUND = 0x04,          // 04h-07h: GR01, GR11, GR13, GR15
    MMIO_WIDTH = 0x08,               // 08h-17h: GR20-GR2F in order
    MMIO_LEFT_SKIP = 0x17,
    MMIO_MODE = 0x18,
    MMIO_ROP = 0x1A,
    MMIO_MODE_EXTENSION = 0x1B,
    MMIO_TRANSPARENT_COLOUR = 0x1C,  // 1Ch/1Dh
    MMIO_TRANSPARENT_MASK = 0x20,    // 20h/21h
    MMIO_STATUS = 0x40,
};

// ---- CRTC extensions (3D4h/3D5h) -------------------------------------------------------------
enum Crtc : uint8_t {
    CR_INTERLACE_END = 0x19,
    CR_MISC_CONTROL = 0x1A,          // bit 0: interlace (the picture is twice as high)
    CR_EXTENDED_DISPLAY = 0x1B,
    CR_SYNC_ADJUST = 0x1C,
    CR_OVERLAY = 0x1D,               // bit 7: start address bit 19
    CR_LATCH_READBACK = 0x22,
    CR_ATTRIBUTE_STATE = 0x24,       // bit 7: attribute flip-flop (read-only)
    CR_PART_STATUS = 0x25,
    CR_ATTRIBUTE_INDEX = 0x26,       // read-only
    CR_ID = 0x27,                    // read-only chip id
    CR_LAST = 0x27,                  // unused ones read FFh
};

constexpr uint8_t CHIP_ID_GD5446 = 0xB8;  // CR27

constexpr uint8_t CR1A_INTERLACE = 0x01;
// CR1B: start address bits 16 and 18:17, offset bit 8.
constexpr uint8_t CR1B_START_BIT16 = 0x01;
constexpr uint8_t CR1B_START_BITS17_18 = 0x0C;
constexpr uint8_t CR1B_OFFSET_BIT8 = 0x10;
constexpr uint8_t CR1D_START_BIT19 = 0x80;

// ---- Hidden DAC register: the fifth read of 3C6h ---------------------------------------------
constexpr int HDR_READS_BEFORE = 4;
constexpr uint8_t HDR_ADVANCED = 0x80;
constexpr uint8_t HDR_EXTENDED = 0x40;
constexpr uint8_t HDR_FORMAT_MASK = 0x0F;
constexpr uint8_t HDR_555 = 0x00;
constexpr uint8_t HDR_565 = 0x01;
constexpr uint8_t HDR_888 = 0x05;

// ---- Hardware cursor ------------------------------------------------------------------------
constexpr uint32_t CURSOR_AREA_BYTES = 16u << 10;   // the top of video memory
constexpr uint32_t CURSOR_SLOT_BYTES = 256;          // SR13 x 256 from the area's start
constexpr uint8_t CURSOR_PATTERN_MASK_SMALL = 0x3F;
constexpr uint8_t CURSOR_PATTERN_MASK_LARGE = 0x3C;
constexpr int EXTENDED_COLOURS = 16;                 // reached with SR12 bit 1
constexpr int CURSOR_BACKGROUND_ENTRY = 0;
constexpr int CURSOR_FOREGROUND_ENTRY = 15;

}  // namespace cirrus
