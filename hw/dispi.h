// The Bochs DISPI interface: the 16-bit index/data port pair and registers 00h-0Ah that both VGA
// BIOS ROMs drive, with their named bits. Names as in hw/vga.h: REGISTER, REGISTER_BIT; nasm
// has them in hw/dispi.inc as DISPI_NAME. Registers 10h and up on this card are Palisade's own:
// hw/palisade_ext.h.
#pragma once

#include <cstdint>

namespace dispi {

constexpr uint16_t INDEX_PORT = 0x1CE;
constexpr uint16_t DATA_PORT = 0x1CF;

constexpr uint16_t ID = 0x00;
constexpr uint16_t ID_0 = 0xB0C0;  // the first interface; each later one adds one
constexpr uint16_t ID_LATEST = 0xB0C5;
constexpr uint16_t XRES = 0x01;
constexpr uint16_t YRES = 0x02;
constexpr uint16_t BPP = 0x03;
constexpr uint16_t ENABLE = 0x04;
constexpr uint16_t ENABLE_ON = 0x01;
constexpr uint16_t ENABLE_GET_CAPS = 0x02;  // XRES, YRES and BPP read back the largest mode
constexpr uint16_t ENABLE_DAC_8BIT = 0x20;
constexpr uint16_t ENABLE_LFB = 0x40;
constexpr uint16_t ENABLE_NO_CLEAR_MEM = 0x80;
constexpr uint16_t BANK = 0x05;  // 64 KB units
constexpr uint16_t BANK_NUMBER = 0x3FFF;
constexpr uint16_t BANK_WRITE_ONLY = 0x4000;  // with neither flag the bank is for both
constexpr uint16_t BANK_READ_ONLY = 0x8000;
constexpr uint32_t BANK_BYTES = 0x10000;
constexpr uint16_t VIRT_WIDTH = 0x06;
constexpr uint16_t VIRT_HEIGHT = 0x07;
constexpr uint16_t X_OFFSET = 0x08;
constexpr uint16_t Y_OFFSET = 0x09;
constexpr uint16_t VIDEO_MEMORY_64K = 0x0A;

}  // namespace dispi
