// Loads a Kestrel driver into a machine before the program starts, as a driver loaded from
// the machine's start-up files would be: for the machine preset with a resident driver.
#pragma once

#include "pc/pc.h"

namespace kestrel {

// Generates the driver built with this tree for the machine's card, loads it high (the top
// of upper memory, below the system BIOS), runs its check entry and hooks interrupts 10h and
// 2Fh. Throws pc::MachineError when it cannot.
void installResident(pc::Pc& machine);

}  // namespace kestrel
