// What a card shows, read through its registers on the bus as a diagnostic program reads it:
// the mode, where the picture starts in video memory, the line length, the screen-off bits, the
// DAC's width and palette. The same reading serves every engine, the virtual PC and QEMU's.
#pragma once

#include <array>
#include <cstdint>

#include "pc/pc.h"

namespace card_reading {

struct ShownCard {
    bool graphics = false;  // false: a text mode
    bool extended = false;  // a mode of the card's own (DISPI, Cirrus), not a VGA one
    int width = 0, height = 0;
    int bitsPerPixel = 0;  // 4 (planar), 8, 15, 16, 24 or 32; 0 for text
    uint64_t start = 0;    // byte offset of the first pixel (plane address x 4 when planar)
    uint32_t lineBytes = 0;  // planar: plane bytes x 4
    int firstPixel = 0;      // planar: pixels skipped in the first 8-pixel group
    bool screenOff = false;  // the sequencer or the attribute controller blanks the picture
    const char* blankedBy = "";  // which of them, and by which bit, when screenOff
    int dacBits = 6;         // the width the DAC's registers say it uses
};

// Reads the card's registers. The VGA's own modes take their size from the picture the card
// shows, as a person at the monitor would: `shown` when given, else the PC's picture now.
// Leaves every register as it found it (the attribute flip-flop at the index).
ShownCard readShownCard(pc::Pc& pc, const pc::Picture* shown = nullptr);

// The 256 DAC entries as 3C7h/3C9h read them back.
std::array<uint8_t, 256 * 3> readDac(pc::Pc& pc);

// The DAC index each of the 16 pixel values of a 4-bit mode shows, through the attribute
// controller's palette, colour plane enable and colour select.
std::array<uint8_t, 16> planarDacIndices(pc::Pc& pc);

}  // namespace card_reading
