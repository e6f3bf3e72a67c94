// The monitor's view of the card: its registers and video memory turned into an RGB picture.
//
// DISPI modes show xres x yres pixels from the display start (x/y offset) with the virtual
// width as the scan-line length. Standard VGA modes take their geometry from the CRTC:
// graphics modes show their logical pixels (mode 13h is 320x200, mode 12h 640x480), and text
// modes are drawn with the ROM's font from plane 2 at 8 or 9 dots per character as the
// sequencer says, so the 80x25 text mode is a 720x400 picture. Memory wraps at its end, as
// the card's address counter does. The hardware cursor is drawn last, over everything.
#pragma once

#include "machine/machine.h"
#include "machine/svga_card.h"

namespace machine {

void scanOut(const SvgaCard& card, Picture& picture);

// Packed pixels of 8 (through the DAC), 15, 16, 24 or 32 bits: width x height pixels from byte
// `start`, `line` bytes apart, wrapping at the end of video memory. Every SuperVGA mode's picture.
void scanPacked(const SvgaCard& card, Picture& picture, int width, int height, uint64_t start, uint32_t line,
                int bpp);

}  // namespace machine
