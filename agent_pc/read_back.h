// The picture of a PC that has no screen of its own to show us: Palisade's scan-out of the
// card's registers (read as a diagnostic program reads them) and its video memory, read back
// through the PC interface.
#pragma once

#include "pc/pc.h"

namespace agent_pc {

// Text modes are drawn with the font in the card's plane 2, without the cursor.
void readBackPicture(pc::Pc& pc, pc::Picture& picture);

}  // namespace agent_pc
