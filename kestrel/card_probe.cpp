#include "kestrel/card_probe.h"

#include <algorithm>
#include <iterator>

#include "hw/pci.h"
#include "kestrel/driver_image.h"
#include "kestrel/hardware_analysis.h"

namespace kestrel {

namespace {
constexpr uint32_t OPTION_ROM = 0xC0000;  // the video BIOS: 55AAh, then its size in 512-byte blocks
constexpr uint32_t UPPER_MEMORY_END = 0xF0000;
constexpr uint32_t BIOS_MEMORY_KB = 0x413;  // the BIOS data area's conventional memory size (int 12h)

// Whether memory at `address` keeps what the host writes there: RAM, not ROM or an empty bus.
// A call in between takes the write to the PC and brings back what the PC holds.
bool keepsWrites(pc::Pc& machine, uint32_t address)
{
    uint8_t* memory = machine.memory();
    const uint8_t saved = memory[address];
    memory[address] = uint8_t(~saved);
    pc::CpuRegs regs;
    machine.interrupt(0x11, regs);  // the BIOS's equipment list: a call that changes nothing
    const bool kept = memory[address] == uint8_t(~saved);
    memory[address] = saved;
    return kept;
}
}  // namespace

uint16_t residentSegment(pc::Pc& machine)
{
    const uint32_t imageBytes = static_cast<uint32_t>(largestImageBytes());
    const uint32_t base = (UPPER_MEMORY_END - imageBytes) & ~0x3FFu;
    const uint32_t romEnd = OPTION_ROM + machine.memory()[OPTION_ROM + 2] * 512u;
    if (base >= romEnd && keepsWrites(machine, base))
        return static_cast<uint16_t>(base >> 4);
    uint8_t* memory = machine.memory();
    const uint32_t top = std::min<uint32_t>(machine.conventionalBytes(),
                                            uint32_t(memory[BIOS_MEMORY_KB] | memory[BIOS_MEMORY_KB + 1] << 8) * 1024);
    const uint32_t low = (top - std::min(top, imageBytes)) & ~0x3FFu;
    if (low < machine.freeConventionalStart())
        throw pc::MachineError("no memory left for the Kestrel driver: upper memory is full or keeps no writes, "
                               "and conventional memory is full too");
    memory[BIOS_MEMORY_KB] = uint8_t(low >> 10);
    memory[BIOS_MEMORY_KB + 1] = uint8_t(low >> 18);
    return static_cast<uint16_t>(low >> 4);
}

namespace {

class MachinePorts : public HardwarePorts {
public:
    MachinePorts(pc::Pc& machine, uint16_t segment) : machine_(machine), segment_(segment)
    {
        static constexpr uint8_t CALL_PCI_BIOS[] = {0xCD, pci::BIOS_INTERRUPT, 0xCB};  // int 1Ah, retf
        std::copy(std::begin(CALL_PCI_BIOS), std::end(CALL_PCI_BIOS), machine.memory() + (segment << 4));
    }
    uint8_t in8(uint16_t port) override { return machine_.in8(port); }
    void out8(uint16_t port, uint8_t value) override { machine_.out8(port, value); }
    uint16_t in16(uint16_t port) override { return machine_.in16(port); }
    void out16(uint16_t port, uint16_t value) override { machine_.out16(port, value); }

    uint32_t pciRead32(int deviceFunction, uint8_t offset) override
    {
        const uint32_t low = readWord(deviceFunction, offset);
        return low == NOTHING ? 0xFFFFFFFF : low | readWord(deviceFunction, static_cast<uint8_t>(offset + 2)) << 16;
    }

private:
    static constexpr uint32_t NOTHING = 0xFFFFFFFF;

    // The PCI BIOS's read-configuration-word; NOTHING when it refuses.
    uint32_t readWord(int deviceFunction, uint8_t offset)
    {
        pc::CpuRegs regs;
        regs.ax = pci::BIOS_FUNCTION << 8 | pci::BIOS_READ_CONFIG_WORD;
        regs.bx = static_cast<uint16_t>(deviceFunction);
        regs.di = offset;
        const auto result = machine_.farCall(segment_, 0, regs);
        if (!result.ok)
            throw pc::MachineError("the PCI BIOS did not return: " + result.error);
        return (regs.flags & 1) ? NOTHING : regs.cx;
    }

    pc::Pc& machine_;
    uint16_t segment_;
};

}  // namespace

CardAnalysis probeCard(pc::Pc& machine, uint16_t segment)
{
    MachinePorts ports(machine, segment);
    CardAnalysis card = analyseHardware(ports);
    card.machine = machine.config().name;
    return card;
}

}  // namespace kestrel
