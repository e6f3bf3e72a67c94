// Analyses the card of a machine by running the driver's own probe entry on it: DISPI ID,
// video memory and the display device's PCI BAR, read through the card's ports.
#pragma once

#include <cstdint>

#include "kestrel/card.h"
#include "machine/machine.h"

namespace kestrel {

// Copies the assembled image to segment:0 of conventional memory (the caller's to reuse
// afterwards) and far-calls its probe entry. Throws machine::MachineError when the call
// does not return.
CardAnalysis probeCard(machine::Machine& machine, uint16_t segment);

}  // namespace kestrel
