// Analyses the card of a machine by running the driver's own probe entry on it: DISPI ID,
// video memory and the display device's PCI BAR, read through the card's ports.
#pragma once

#include <cstdint>

#include "kestrel/card.h"
#include "machine/machine.h"

namespace kestrel {

// Copies the assembled image to segment:0 of real-mode memory (the caller's to reuse
// afterwards) and far-calls its probe entry. Throws machine::MachineError when the call
// does not return.
CardAnalysis probeCard(machine::Machine& machine, uint16_t segment);

// Where a driver loaded high goes: the top of the upper memory block between the video
// BIOS and the system BIOS, 1 KB aligned. Throws machine::MachineError when the video BIOS
// leaves no room.
uint16_t upperMemorySegment(machine::Machine& machine);

}  // namespace kestrel
