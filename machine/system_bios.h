// The machine's own system BIOS at F000: a HLT that ends every call, an IRET for unused
// vectors, the BIOS data area, and the few services a video BIOS asks for (int 11h, 12h,
// 15h AH=86h and the PCI BIOS at int 1Ah AH=B1h), answered while their vectors are still ours.
#pragma once

#include <cstdint>

#include "machine/machine.h"
#include "machine/pci_bus.h"

struct x86emu_s;

namespace machine {

class SystemBios {
public:
    static constexpr uint16_t SEGMENT = 0xF000;
    static constexpr uint32_t START = 0xF0000;
    static constexpr uint16_t RETURN_STUB = 0xFF00;  // HLT: a call returning here is finished
    static constexpr uint16_t IRET_STUB = 0xFF53;

    SystemBios(uint8_t* memory, uint32_t conventionalKb, Clock& clock, PciBus& pci)
        : memory_(memory), conventionalKb_(conventionalKb), clock_(clock), pci_(pci)
    {
    }

    // Writes the stubs, points every vector at the IRET, and fills the BIOS data area.
    void install();
    bool vectorIsOurs(uint8_t number) const;
    // Answers interrupt `number` when it is ours and one we serve; false to let the CPU take it.
    bool answer(x86emu_s* emu, uint8_t number);

private:
    void pciBios(x86emu_s* emu);

    uint8_t* memory_;
    uint32_t conventionalKb_;
    Clock& clock_;
    PciBus& pci_;
};

}  // namespace machine
