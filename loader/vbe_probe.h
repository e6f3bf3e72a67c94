// The two questions the installer asks the real-mode video BIOS before it loads anything:
// which VBE version answers, and whether a Kestrel driver is already resident.
#pragma once

#include <cstdint>

#include "loader/driver_header.h"
#include "platform/realmode.h"

// A block of conventional memory as the real-mode services hand it out.
struct RealModeBlock {
    uint32_t selector = 0;
    uint32_t offset = 0;
    uint32_t realSegment = 0;
    uint32_t realOffset = 0;
};

constexpr uint32_t probeScratchSize = 512;

// The 512-byte block the probes pass to the BIOS; the installer holds it while they run.
extern RealModeBlock probeScratchBlock;

// Interrupt 10h with ES:DI at the scratch block, `length` bytes of `buffer` copied into it
// before the call and back out after. `regs` holds the BIOS's registers afterwards.
void vbeCallWithBuffer(RealModeRegs* regs, void* buffer, uint32_t length);

// The BCD version of the VBE that answers function 4F00h, or 0 when none does.
int getVBEVersion();

// The record of a resident Kestrel driver, or null when none answered. Each successful query
// overwrites the one record the library keeps.
ResidentDriverInfo* queryResidentDriver();
