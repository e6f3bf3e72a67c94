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

// Where a resident driver goes: the top of the upper memory block between the video BIOS and
// the system BIOS, 1 KB aligned, as a driver loaded high. On a PC whose upper memory keeps no
// writes (Bochs has ROM and an empty bus there) the top of conventional memory instead, taken
// from the BIOS's memory size (40:13h) as a program that stays resident there takes it.
// Throws pc::MachineError when neither has room.
uint16_t residentSegment(pc::Pc& machine);

}  // namespace kestrel
