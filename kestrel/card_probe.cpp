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
}  // namespace

uint16_t upperMemorySegment(pc::Pc& machine)
{
    const uint32_t imageBytes = static_cast<uint32_t>(largestImageBytes());
    const uint32_t base = (UPPER_MEMORY_END - imageBytes) & ~0x3FFu;
    const uint32_t romEnd = OPTION_ROM + machine.memory()[OPTION_ROM + 2] * 512u;
    if (base < romEnd)
        throw pc::MachineError("no upper memory left above the video BIOS for the Kestrel driver");
    return static_cast<uint16_t>(base >> 4);
}

namespace {

class MachinePorts : public HardwarePorts {
public:
    MachinePorts(pc::Pc& machine, uint16_t segment) : machine_(machine), segment_(segment)
    {
        static constexpr uint8_t CALL_PCI_BIOS[] = {0xCD, 0x1A, 0xCB};  // int 1Ah, retf
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
