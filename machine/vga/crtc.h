// The VGA CRT controller: the picture's geometry, start address and line length, the text
// cursor, and the write protection of the timing registers.
#pragma once

#include <array>
#include <cstdint>

#include "hw/vga.h"

namespace machine {

struct Crtc {
    uint8_t index = 0;
    std::array<uint8_t, vga::crtc::REGISTER_COUNT> reg{};

    uint8_t in(uint16_t port) const;
    void out(uint16_t port, uint8_t value);

    int characterClocks() const { return reg[vga::crtc::H_DISPLAY_END] + 1; }
    int displayLines() const;
    int scanLinesPerRow() const { return (reg[vga::crtc::MAX_SCAN_LINE] & vga::crtc::MAX_SCAN_LINE_COUNT) + 1; }
    bool doubleScan() const { return reg[vga::crtc::MAX_SCAN_LINE] & vga::crtc::MAX_SCAN_LINE_DOUBLE; }
    uint32_t startAddress() const
    {
        return (reg[vga::crtc::START_ADDRESS_HIGH] << 8) | reg[vga::crtc::START_ADDRESS_LOW];
    }
    uint32_t offset() const { return reg[vga::crtc::OFFSET]; }

    uint32_t cursorAddress() const
    {
        return (reg[vga::crtc::CURSOR_LOCATION_HIGH] << 8) | reg[vga::crtc::CURSOR_LOCATION_LOW];
    }
    bool cursorShown() const { return !(reg[vga::crtc::CURSOR_START] & vga::crtc::CURSOR_START_OFF); }
    int cursorFirstLine() const { return reg[vga::crtc::CURSOR_START] & vga::crtc::CURSOR_START_LINE; }
    int cursorLastLine() const { return reg[vga::crtc::CURSOR_END] & vga::crtc::CURSOR_END_LINE; }
};

}  // namespace machine
