// The generator's analysis of the graphics hardware: PCI identification first, then the
// chip's own test, and the video memory as the chip reports it.
#pragma once

#include <cstdint>

#include "kestrel/card.h"

namespace kestrel {

// What the analysis reads and writes: the card's I/O ports and bus 0's PCI configuration.
class HardwarePorts {
public:
    virtual ~HardwarePorts() = default;
    virtual uint8_t in8(uint16_t port) = 0;
    virtual void out8(uint16_t port, uint8_t value) = 0;
    virtual uint16_t in16(uint16_t port) = 0;
    virtual void out16(uint16_t port, uint16_t value) = 0;
    // The configuration dword at offset of bus 0's device << 3 | function; all ones when
    // nothing answers.
    virtual uint32_t pciRead32(int deviceFunction, uint8_t offset) = 0;
};

// Finds the first VGA display function on bus 0 and runs its chip's test: the DISPI ID
// register for 1234:1111 (and, with no PCI display function at all, for an ISA DISPI card),
// the SR06 unlock and CR27 for a Cirrus 1013:00B8. Every register it changes is put back.
// hardwareCode is that of a chip this driver has a back end for, HARDWARE_NONE otherwise;
// `found` says in one line what was there.
CardAnalysis analyseHardware(HardwarePorts& ports);

}  // namespace kestrel
