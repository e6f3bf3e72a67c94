// The monitor's view of a card: its registers and video memory turned into an RGB picture.
//
// An extended mode (the card says which) shows its pixels from its start with its line
// length. Standard VGA modes take their geometry from the CRTC: graphics modes show their
// logical pixels (mode 13h is 320x200, mode 12h 640x480), and text modes are drawn with the
// ROM's font from plane 2 at 8 or 9 dots per character as the sequencer says, so the 80x25
// text mode is a 720x400 picture. Memory wraps at its end, as the card's address counter
// does. The card's hardware cursor is drawn last, over everything.
#pragma once

#include "machine/card.h"
#include "machine/machine.h"

namespace machine {

void scanOut(const Card& card, Picture& picture);

}  // namespace machine
