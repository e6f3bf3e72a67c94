// Analyses the card of a machine through its ports and its PCI BIOS (hardware_analysis.h),
// as the generator does on the machine it runs on.
#pragma once

#include <cstdint>

#include "kestrel/card.h"
#include "pc/pc.h"

namespace kestrel {

// PCI configuration is read through the PCI BIOS (int 1Ah, called from a three-byte stub
// at segment:0 of real-mode memory, the caller's to reuse afterwards), the chips' registers
// through their ports. Throws pc::MachineError when the PCI BIOS call does not return.
CardAnalysis probeCard(pc::Pc& machine, uint16_t segment);

// Where a driver loaded high goes: the top of the upper memory block between the video
// BIOS and the system BIOS, 1 KB aligned. Throws pc::MachineError when the video BIOS
// leaves no room.
uint16_t upperMemorySegment(pc::Pc& machine);

}  // namespace kestrel
