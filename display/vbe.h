// The video BIOS calls (namespace bios): the VBE functions, each one real-mode int 10h
// through the real-mode services, and the few older calls the library needs. A VBE call
// counts as done only when the interrupt returned and AX came back 004Fh.
#pragma once

#include <cstdint>
#include <string>

#include "hw/vbe.h"
#include "platform/display.h"

namespace display::bios {

// A block of conventional memory for passing records to the BIOS.
struct RealBuffer {
    uint32_t selector = 0, offset = 0;
    uint16_t segment = 0, realOffset = 0;
    uint8_t* host = nullptr;  // below 4 GB
    uint32_t size = 0;
};
bool allocate(RealBuffer& buffer, uint32_t size);
void release(RealBuffer& buffer);

// Host pointer to real-mode address seg:off, or null when the bytes [address, address + length)
// are not all inside the machine's real-mode memory.
const uint8_t* realPointer(uint32_t farPointer, uint32_t length);
const uint8_t* realLinear(uint32_t linear, uint32_t length);

// True when the last VBE call was not supported at all (AL other than 4Fh).
bool lastCallUnsupported();

// 4F00 with "VBE2" in the buffer; true when the BIOS answered "VESA".
bool controllerInfo(const RealBuffer& scratch, vbe::ControllerInfo& info);
// 4F01.
bool modeInfo(const RealBuffer& scratch, uint16_t mode, vbe::ModeInfo& info);

bool setMode(uint16_t modeWithFlags);
bool currentMode(uint16_t& mode);
bool setBank(uint8_t window, uint16_t position);

// 4F06 with the given sub-function; the three results.
constexpr uint8_t SCAN_LINE_SET_PIXELS = 0x00;
constexpr uint8_t SCAN_LINE_SET_BYTES = 0x02;
bool scanLineLength(uint8_t subfunction, uint16_t value, uint16_t& bytesPerLine, uint16_t& pixelsPerLine,
                    uint16_t& scanLines);
// 4F07: set (BL 00h) or set during the vertical retrace (BL 80h).
bool setDisplayStart(uint16_t x, uint16_t y, bool duringRetrace);
// 4F08: set the DAC width; the width the BIOS reports now.
bool setDacWidth(uint8_t bits, uint8_t& nowBits);
bool getDacWidth(uint8_t& bits);
// 4F09 set: entries of 4 bytes (blue, green, red, alignment) copied through the buffer.
bool setPalette(const RealBuffer& scratch, uint16_t first, uint16_t count, const PaletteEntry* entries,
                bool duringRetrace);

// Legacy BIOS: AH=00h set mode, AH=0Fh current mode.
bool setLegacyMode(uint8_t mode);
uint8_t legacyMode();
// AX=1130h BH=06h: the real-mode address (segment:offset) of the ROM's 8 x 16 font, or 0.
uint32_t romFont8x16();

}  // namespace display::bios
